#!/bin/sh
# The service's load benchmark, on the loopback address of this machine:
# today's service (built from OLD_REV into /tmp) and this one on SQLite, and
# this one on PostgreSQL, each on a store of MAPS maps and PLAYS plays, in one
# run, side by side. Prints answers/s, p50 and p99 for 10, 50 and 200 clients
# of the mixed workload, each list alone, the service under a crowd of
# half-open connections, and the rate table's cost. Then a hostile crowd:
# HOSTILE_CLIENTS (50) clients of the mixed workload while HOSTILE (8) accounts
# send costly shares without pause, against the service as it was before
# checks were paid for (BASE_REV, built once into /tmp like OLD_REV) and this
# one, both on SQLite.
#
#   server/bench/run.sh [BUILD]     BUILD: the build folder (default build/)
#   RUNS=hostile server/bench/run.sh   only the hostile crowd
#
# Bounded: LOAD_SECONDS per client count (default 8), SLOW_SECONDS under the crowd
# (default 30), HOSTILE_SECONDS for the hostile crowd (default 30). Every
# process it starts it stops; its files go to one temporary folder, removed at
# the end.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
OLD_REV=${OLD_REV:-73f7606}
BASE_REV=${BASE_REV:-4a83056}
RUNS=${RUNS:-all}
HOSTILE=${HOSTILE:-8}
HOSTILE_CLIENTS=${HOSTILE_CLIENTS:-50}
HOSTILE_SECONDS=${HOSTILE_SECONDS:-30}
MAPS=${MAPS:-20000}
PLAYS=${PLAYS:-300000}
ACCOUNTS=${ACCOUNTS:-2000}
LOAD_SECONDS=${LOAD_SECONDS:-8}
SLOW_SECONDS=${SLOW_SECONDS:-30}
CLIENTS=${CLIENTS:-"10 50 200"}
PORT=${PORT:-18561}

load="$build/server/velquist_load"
new="$build/server/velquist-server"
for f in "$load" "$new"; do
    [ -x "$f" ] || { echo "run.sh: $f is missing; build velquist-server and velquist_load first" >&2; exit 2; }
done

work=$(mktemp -d /tmp/velquist-load-XXXXXX)
pids=""
pg_pid=""
cleanup() {
    for p in $pids; do kill "$p" 2>/dev/null || true; done
    [ -n "$pg_pid" ] && kill -INT "$pg_pid" 2>/dev/null || true
    # As root the server runs under runuser, which need not pass the signal
    # on: stop the server itself, by its pid file, and wait for it to go.
    pm="$work/pg/data/postmaster.pid"
    if [ -f "$pm" ]; then
        pg=$(head -n 1 "$pm")
        kill -INT "$pg" 2>/dev/null || true
        i=0
        while kill -0 "$pg" 2>/dev/null && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    fi
    sleep 1
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# built REV: the service of that commit, built once into /tmp (a copy, not a
# work tree); its path in $built_server.
built() {
    src=/tmp/velquist-load-old-$1
    built_server="$src/build/server/velquist-server"
    [ -x "$built_server" ] && return 0
    echo "== building the service of $1 in $src"
    rm -rf "$src" && mkdir -p "$src"
    git -C "$root" archive "$1" | tar -x -C "$src"
    cmake -S "$src" -B "$src/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELQUIST_TESTS=OFF \
        -DVELQUIST_GENERATE_DATA=OFF >"$work/old-build.log" 2>&1
    cmake --build "$src/build" --target velquist-server -j2 >>"$work/old-build.log" 2>&1 ||
        { tail -20 "$work/old-build.log" >&2; exit 1; }
}
if [ "$RUNS" = all ]; then built "$OLD_REV"; old=$built_server; fi
built "$BASE_REV"
base=$built_server

# serve NAME BINARY ARGS...: starts a service on $PORT and waits until it serves.
serve() {
    name=$1
    shift
    "$@" --port "$PORT" >"$work/$name.log" 2>&1 &
    pid=$!
    pids="$pids $pid"
    i=0
    until grep -qs serving "$work/$name.log"; do
        kill -0 "$pid" 2>/dev/null || { cat "$work/$name.log" >&2; exit 1; }
        i=$((i + 1))
        [ $i -lt 600 ] || { echo "run.sh: $name did not start" >&2; exit 1; }
        sleep 0.1
    done
}
halt() {
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    PORT=$((PORT + 1))
}

# measure NAME: each list alone, the mixed workload, the crowd.
measure() {
    "$load" lists "$1" "$PORT" "$ACCOUNTS" >>"$work/lists.txt"
    # shellcheck disable=SC2086
    VELQUIST_LOAD_PID=$pid "$load" run "$1" "$PORT" "$LOAD_SECONDS" "$ACCOUNTS" "$MAPS" $CLIENTS |
        tail -n +2 >>"$work/load.txt"
    if [ "${2:-}" = crowd ]; then "$load" slow "$1" "$PORT" "$SLOW_SECONDS" "$ACCOUNTS" >>"$work/slow.txt"; fi
}

# The hostile crowd against the service of BASE_REV, then this one, on the SQLite store in $work/new.
hostile() {
    echo "== the hostile crowd: the service of $BASE_REV, then this one, on SQLite"
    # "alone": this service without the crowd, for the machine's own figures.
    for run in "before $base $HOSTILE" "now $new $HOSTILE" "alone $new 0"; do
        set -- $run
        serve "$1" "$2" --store "$work/new" --seed /nonexistent --tiles "$build/data/tiles.json"
        VELQUIST_LOAD_PID=$pid "$load" hostile "$1" "$PORT" "$HOSTILE_SECONDS" "$ACCOUNTS" "$MAPS" \
            "$HOSTILE_CLIENTS" "$3" >>"$work/hostile.txt"
        halt
    done
}
hostile_figures() {
    echo "== $HOSTILE_CLIENTS clients of the mixed workload and $HOSTILE accounts sending hostile shares, ${HOSTILE_SECONDS} s"
    cat "$work/hostile.txt"
}

if [ "$RUNS" = hostile ]; then
    "$load" fill "$work/new" "$MAPS" "$PLAYS" "$ACCOUNTS"
    hostile
    echo
    hostile_figures
    exit 0
fi

echo "== today's service on SQLite"
serve old-init "$old" --data "$work/old" --seed /nonexistent
halt
"$load" fill "$work/old" --old "$MAPS" "$PLAYS" "$ACCOUNTS"
serve old "$old" --data "$work/old" --seed /nonexistent
measure today-sqlite crowd
halt

echo "== this service on SQLite"
"$load" fill "$work/new" "$MAPS" "$PLAYS" "$ACCOUNTS"
serve new "$new" --store "$work/new" --seed /nonexistent --tiles "$build/data/tiles.json"
measure new-sqlite crowd
halt

hostile

echo "== this service on PostgreSQL"
pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | tail -n 1)
if [ -n "$pgbin" ] && [ -x "$pgbin/initdb" ]; then
    mkdir -p "$work/pg"
    as=""
    # PostgreSQL refuses to run as root: then as the packages' own user.
    if [ "$(id -u)" = 0 ]; then
        chown postgres "$work" "$work/pg"
        as="runuser -u postgres --"
    fi
    $as "$pgbin/initdb" -D "$work/pg/data" -A trust -U velquist -E UTF8 --no-locale -N >"$work/initdb.log" 2>&1
    # Commits wait for the log's write, not its flush: as the SQLite store does.
    $as "$pgbin/postgres" -D "$work/pg/data" -k "$work/pg" -c listen_addresses= -c synchronous_commit=off \
        -c max_connections=100 >"$work/pg.log" 2>&1 &
    pg_pid=$!
    url="postgresql://velquist@/postgres?host=$work/pg"
    i=0
    until "$pgbin/pg_isready" -q -h "$work/pg"; do
        i=$((i + 1))
        [ $i -lt 100 ] || { cat "$work/pg.log" >&2; exit 1; }
        sleep 0.1
    done
    "$load" fill "$url" "$MAPS" "$PLAYS" "$ACCOUNTS"
    serve pg "$new" --store "$url" --seed /nonexistent --tiles "$build/data/tiles.json"
    measure new-postgresql
    halt
else
    echo "PostgreSQL is not installed (scripts/deps.sh test); its figures are left out" >&2
fi

echo
echo "== each list alone, $MAPS maps and $PLAYS plays"
cat "$work/lists.txt"
echo
echo "== the mixed workload (35% lists, 20% sign-ins, 30% plays half of them rated, 5% shares, 10% events), ${LOAD_SECONDS} s each"
echo "   (cpu ms: the service's own CPU time per answer)"
printf "%-14s %7s %10s %9s %9s %9s %9s %8s %9s\n" service clients answers/s "p50 ms" "p99 ms" "max ms" refused failed \
    "cpu ms"
sort -s -k2,2n "$work/load.txt"
echo
echo "== $SLOW_SECONDS s under 264 half-open connections from 8 addresses, one header byte each every 20 s"
cat "$work/slow.txt"
echo
hostile_figures
echo
"$load" rates
