# The two commands of the README: `make play` and `make test`.
BUILD := build
ASAN_BUILD := build-asan
JOBS := $(shell nproc)
# Tests that draw run on a virtual display with Mesa's software renderer.
# Tests run in parallel and each opens and closes its own connection; an X
# server resets whenever its last client leaves and drops whoever connects
# meanwhile, so the display is kept from resetting.
XVFB := xvfb-run -a -s "-screen 0 1920x1080x24 -noreset"

.PHONY: play test check deps deps-test build build-play build-asan test-normal test-asan test-fuzz screenshots clean

deps:
	./scripts/deps.sh

# The tests also start a PostgreSQL server of their own; playing does not need one.
deps-test:
	./scripts/deps.sh test

# The online service the game talks to. On the loopback address the play
# command runs our reference service beside the game.
SERVICE_HOST := 127.0.0.1
SERVICE_PORT := 8471

CONFIGURE = -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	-DVELQUIST_SERVICE_HOST=$(SERVICE_HOST) -DVELQUIST_SERVICE_PORT=$(SERVICE_PORT)

# Everything: the game, its data, the service, the tests and benchmarks.
build: deps
	cmake -S . -B $(BUILD) $(CONFIGURE)
	cmake --build $(BUILD) -j$(JOBS)

# Only what playing needs: the game, its data and the service.
build-play: deps
	cmake -S . -B $(BUILD) $(CONFIGURE)
	cmake --build $(BUILD) -j$(JOBS) --target velquist velquist_data velquist-server

# The game runs from bin/ in the build folder, so that ../data is the data
# the build generated beside it.
play: build-play
	cd $(BUILD)/bin && ../../scripts/with-service.sh ../server/velquist-server ./velquist $(SERVICE_HOST) $(SERVICE_PORT)

# The sanitizer build is a folder of its own, with its own data.
build-asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CONFIGURE) -DVELQUIST_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)

# The unit tests alone, for use while working: no window, no waiting, no
# database server (the few slow ones, the PostgreSQL store's among them, run
# in make test).
check: deps
	cmake -S . -B $(BUILD) $(CONFIGURE)
	cmake --build $(BUILD) -j$(JOBS) --target velquist_unit velquist_unit_game
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -L unit -LE slow

test-normal: build deps-test
	cd $(BUILD) && LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) ctest --output-on-failure -j$(JOBS)

# A failed test runs once more in the sanitizer build, where a window test is
# several times slower, so that a one-off hiccup of the virtual display does
# not fail the run; a fault of ours fails both runs.
test-asan: build-asan deps-test
	cd $(ASAN_BUILD) && LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) ctest --output-on-failure -j$(JOBS) --repeat until-pass:2

# The fuzz targets run for a bounded time; run fuzz/run.sh with more seconds by hand.
FUZZ_SECONDS := 20
test-fuzz: deps
	./fuzz/run.sh $(FUZZ_SECONDS)

test: test-normal test-asan test-fuzz

# The README's pictures, taken from the real game by the tests that reach them.
SHOTS := $(CURDIR)/docs/screenshots
screenshots: build
	mkdir -p $(SHOTS)
	cd $(BUILD)/tests && VELQUIST_SCREENSHOTS=$(SHOTS) LIBGL_ALWAYS_SOFTWARE=1 $(XVFB) \
		./velquist_e2e --gtest_filter='Screenshots.*:TutorialsPlayed.*'

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
