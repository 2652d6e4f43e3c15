# The two commands of the README: `make play` and `make test`.
BUILD := build
ASAN_BUILD := build-asan
JOBS := $(shell nproc)
# Tests that draw run on a virtual display with Mesa's software renderer.
# Tests run in parallel and each opens and closes its own connection; an X
# server resets whenever its last client leaves and drops whoever connects
# meanwhile, so the display is kept from resetting.
XVFB := xvfb-run -a -s "-screen 0 1920x1080x24 -noreset"

.PHONY: play test deps deps-test build build-asan test-normal test-asan test-fuzz screenshots clean

deps:
	./scripts/deps.sh

# The tests also start a PostgreSQL server of their own; playing does not need one.
deps-test:
	./scripts/deps.sh test

# The online service the game talks to. On the loopback address the play
# command runs our reference service beside the game.
SERVICE_HOST := 127.0.0.1
SERVICE_PORT := 8471

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVELQUIST_SERVICE_HOST=$(SERVICE_HOST) -DVELQUIST_SERVICE_PORT=$(SERVICE_PORT)
	cmake --build $(BUILD) -j$(JOBS)

# The game runs from the build folder, so that ../data is this repository's data/.
play: build
	cd $(BUILD) && ../scripts/with-service.sh ./server/velquist-server ./velquist $(SERVICE_HOST) $(SERVICE_PORT)

build-asan: build
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELQUIST_SANITIZE=ON -DVELQUIST_GENERATE_DATA=OFF \
		-DVELQUIST_SERVICE_HOST=$(SERVICE_HOST) -DVELQUIST_SERVICE_PORT=$(SERVICE_PORT)
	cmake --build $(ASAN_BUILD) -j$(JOBS)

test-normal: build deps-test
	cd $(BUILD) && LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) ctest --output-on-failure -j$(JOBS)

test-asan: build-asan deps-test
	cd $(ASAN_BUILD) && LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) ctest --output-on-failure -j$(JOBS)

# The fuzz targets run for a bounded time; run fuzz/run.sh with more seconds by hand.
FUZZ_SECONDS := 20
test-fuzz: build
	./fuzz/run.sh $(FUZZ_SECONDS)

test: test-normal test-asan test-fuzz

# The README's pictures, taken from the real game by the tests that reach them.
SHOTS := $(CURDIR)/docs/screenshots
screenshots: build
	mkdir -p $(SHOTS)
	cd $(BUILD) && VELQUIST_SCREENSHOTS=$(SHOTS) LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) \
		./tests/velquist_tests --gtest_filter='Screenshots.*:TutorialsPlayed.*'

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
