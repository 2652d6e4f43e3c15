#!/bin/sh
# Installs the Debian 12 packages that building, playing and testing need,
# skipping those already present. Uses sudo when not run as root.
#   deps.sh        what building and playing need
#   deps.sh test   that, and what only the tests need (a PostgreSQL server
#                  that the service's tests start on their own)
set -e

PACKAGES="
build-essential cmake pkg-config git
libsdl1.2-dev libsdl-image1.2-dev
libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri
libsqlite3-dev zlib1g-dev libjsoncpp-dev libmicrohttpd-dev libpq-dev
libopenal-dev libsndfile1-dev
libfreetype-dev fonts-dejavu-core
libgtest-dev libbenchmark-dev
xvfb xauth
desktop-file-utils appstream
clang libclang-rt-14-dev
"
TEST_PACKAGES="
postgresql
"
if [ "${1:-}" = test ]; then
    PACKAGES="$PACKAGES $TEST_PACKAGES"
fi

missing=""
for p in $PACKAGES; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
        *"install ok installed"*) ;;
        *) missing="$missing $p" ;;
    esac
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "Installing:$missing"
if [ "$(id -u)" = "0" ]; then
    SUDO=""
else
    SUDO="sudo"
fi
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
