#!/bin/sh
# Runs the game with our reference online service beside it on the loopback
# address, and stops the service when the game ends. Used by `make play`
# (from the build folder) and by the installed launcher.
#   with-service.sh SERVER_BINARY GAME_BINARY HOST PORT
# When HOST is not the loopback address the game talks to a service elsewhere
# and no local service is started. The service keeps its store in the user's
# folder, ~/.Velquist/service.
server=$1
game=$2
host=$3
port=$4

case "$host" in
    127.0.0.1|localhost) local_service=yes ;;
    *) local_service="" ;;
esac

pid=""
if [ -n "$local_service" ] && [ -x "$server" ]; then
    log="${TMPDIR:-/tmp}/velquist-service-$(id -u).log"
    "$server" --data "$HOME/.Velquist/service" --port "$port" --listen 127.0.0.1 >"$log" 2>&1 &
    pid=$!
    # The game checks the account as it starts: give the service a moment.
    i=0
    while [ $i -lt 50 ] && ! grep -q "serving" "$log" 2>/dev/null; do
        kill -0 "$pid" 2>/dev/null || { echo "velquist: the online service did not start (see $log)" >&2; pid=""; break; }
        sleep 0.1
        i=$((i + 1))
    done
fi

# The game runs as a child so that the service can be stopped after it; a
# request to end (TERM, INT, HUP) is passed on to the game, which then closes
# as if its window were closed.
"$game" &
game_pid=$!
trap 'kill -TERM "$game_pid" 2>/dev/null' TERM INT HUP
status=0
while kill -0 "$game_pid" 2>/dev/null; do
    wait "$game_pid"
    status=$?
done

if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
fi
exit $status
