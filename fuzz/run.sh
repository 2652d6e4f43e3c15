#!/bin/sh
# Builds the fuzz targets with CMake and clang (a build folder of their own)
# and runs each for a bounded time; exits non-zero when any target crashes
# or fails a check.
#
#   fuzz/run.sh [seconds per target, default 30] [target ...]
#
# Binaries, corpora, logs and crash inputs go to $FUZZ_OUT (default
# build-fuzz/); seeds checked in under fuzz/seeds/<target>/ are read too.
# Extra libFuzzer flags may be passed in $FUZZ_ARGS.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_OUT:-$root/build-fuzz}
seconds=${1:-30}
[ $# -gt 0 ] && shift
wanted="$*"
CXX=${CXX_FUZZ:-clang++}
CC=${CC_FUZZ:-clang}

if ! command -v "$CXX" >/dev/null 2>&1; then
    echo "fuzz: $CXX not found (install clang and libclang-rt-14-dev)" >&2
    exit 2
fi
case "$seconds" in
    ''|*[!0-9]*) echo "fuzz: seconds must be a whole number, got '$seconds'" >&2; exit 2 ;;
esac

mkdir -p "$out"
echo "== building the fuzz targets in $out"
cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$CXX" \
    -DCMAKE_C_COMPILER="$CC" -DVELQUIST_FUZZ=ON -DVELQUIST_TESTS=OFF >"$out/configure.log" 2>&1 ||
    { cat "$out/configure.log" >&2; exit 1; }
cmake --build "$out" --target velquist_fuzz -j"$(nproc)"

failed=""
for src in "$root"/fuzz/fuzz_*.cpp; do
    name=$(basename "$src" .cpp)
    if [ -n "$wanted" ]; then
        case " $wanted " in *" $name "*) ;; *) continue ;; esac
    fi
    corpus="$out/corpus/$name"
    mkdir -p "$corpus" "$out/crashes"
    seeds=""
    [ -d "$root/fuzz/seeds/$name" ] && seeds="$root/fuzz/seeds/$name"
    log="$out/$name.log"
    echo "== $name: fuzzing for $seconds s (log: $log)"
    status=0
    # Targets may be chatty on standard error; -close_fd_mask=2 silences them
    # while crash reports still reach the log.
    # shellcheck disable=SC2086
    "$out/fuzz/$name" -max_total_time="$seconds" -print_final_stats=1 -close_fd_mask=2 \
        -artifact_prefix="$out/crashes/$name-" ${FUZZ_ARGS:-} "$corpus" $seeds >"$log" 2>&1 || status=$?
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done )' "$log" || true
    if [ "$status" -ne 0 ]; then
        echo "== $name: FAILED (exit $status); crash inputs in $out/crashes/" >&2
        tail -n 40 "$log" >&2
        failed="$failed $name"
    else
        echo "== $name: no crash; corpus of $(ls "$corpus" | wc -l) inputs"
    fi
done

if [ -n "$failed" ]; then
    echo "fuzz: failures in:$failed" >&2
    exit 1
fi
