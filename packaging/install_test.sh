#!/bin/sh
# Installs the game into a temporary prefix, validates its desktop files,
# starts the installed launcher from another folder on the test display,
# lets it reach the main menu, ends it the way a desktop does (SIGTERM, which
# SDL turns into a window close), and uninstalls it again.
#   install_test.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/velquist-install-XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "install failed"
for f in bin/velquist lib/velquist/velquist lib/velquist/velquist-server lib/velquist/velquist-seed.db lib/velquist/with-service.sh share/velquist/data/tiles.json share/velquist/data/game.db \
         share/velquist/data/image.txt share/applications/org.velquist.Velquist.desktop \
         share/metainfo/org.velquist.Velquist.metainfo.xml \
         share/icons/hicolor/48x48/apps/org.velquist.Velquist.png \
         share/icons/hicolor/256x256/apps/org.velquist.Velquist.png; do
    [ -e "$prefix/$f" ] || fail "$f was not installed"
done
desktop-file-validate "$prefix/share/applications/org.velquist.Velquist.desktop" || fail "desktop entry invalid"
appstreamcli validate --no-net "$prefix/share/metainfo/org.velquist.Velquist.metainfo.xml" >"$work/as.log" ||
    { cat "$work/as.log" >&2; fail "metainfo invalid"; }

# Run from somewhere unrelated, with a fresh home and a small window.
mkdir -p "$work/home/.Velquist" "$work/elsewhere"
printf '\001\000\000\000' >"$work/settings.head"
cd "$work/elsewhere"
# Verbose: its start-up lines tell that it found its data.
HOME="$work/home" VELQUIST_VERBOSE=1 "$prefix/bin/velquist" >"$work/out.log" 2>"$work/err.log" &
pid=$!
started=""
for _ in $(seq 1 300); do
    if grep -q "sizeof(game) = 208k" "$work/err.log" 2>/dev/null; then started=yes; break; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
[ -n "$started" ] || { kill "$pid" 2>/dev/null; cat "$work/err.log" >&2; fail "the game did not start"; }
grep -q "_game_tile_init 1 floor" "$work/err.log" && grep -q "levels ../data/game.db has 12" "$work/err.log" ||
    { kill "$pid"; fail "the data folder was not found"; }
sleep 1
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { tail -20 "$work/err.log" >&2; fail "the game ended with status $status"; }
state="$work/home/.Velquist/state.dat"
[ -s "$state" ] || fail "state.dat was not written"
[ -s "$work/home/.Velquist/settings.dat" ] || fail "settings.dat was not written"
[ -e "$work/home/.Velquist/service/velquist.db" ] || fail "the local online service was not started"
screen=$(od -An -tu4 -j4 -N4 "$state" | tr -d ' ')
[ "$screen" = "1" ] || fail "the game ended on screen $screen, not the main menu"

# Uninstalling leaves nothing of the game behind.
cmake -DCMAKE_INSTALL_PREFIX="$prefix" -P "$build/packaging/uninstall.cmake" >"$work/uninstall.log" ||
    fail "uninstall failed"
left=$(find "$prefix" -type f | head -5)
[ -z "$left" ] || fail "uninstall left files behind: $left"
[ ! -e "$prefix/share/velquist" ] && [ ! -e "$prefix/lib/velquist" ] || fail "uninstall left the game's folders"
[ -s "$work/home/.Velquist/settings.dat" ] || fail "uninstall touched the user's folder"
echo "install test: passed"
