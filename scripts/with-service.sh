#!/bin/sh
# Runs the game with our reference online service beside it on the loopback
# address, and stops the service when the game ends. Used by `make play`
# (from the build folder) and by the installed launcher.
#   with-service.sh SERVER_BINARY GAME_BINARY HOST PORT [GAME_ARGUMENTS...]
# When HOST is not the loopback address the game talks to a service elsewhere
# and no local service is started. The service keeps its store in the user's
# folder, ~/.Velquist/service, with its process id beside it: a second game
# started meanwhile uses the service the first one started. A port held by
# anything else is named, and the game talks to whatever answers there.
server=$1
game=$2
host=$3
port=$4
shift 4

case "$host" in
    127.0.0.1|localhost) local_service=yes ;;
    *) local_service="" ;;
esac

state="$HOME/.Velquist/service"
pidfile="$state/server.pid"

# The process id of the service this user started before, if it still runs.
running_service() {
    [ -f "$pidfile" ] || return 1
    p=$(cat "$pidfile" 2>/dev/null) || return 1
    case "$p" in ''|*[!0-9]*) return 1 ;; esac
    kill -0 "$p" 2>/dev/null || return 1
    tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -q velquist-server || return 1
    echo "$p"
}

# What listens on the port, as "name (pid N)" when the system tells us.
port_holder() {
    command -v ss >/dev/null 2>&1 || return 0
    ss -Hltnp "sport = :$port" 2>/dev/null | sed -n 's/.*users:(("\([^"]*\)",pid=\([0-9]*\).*/\1 (pid \2)/p' | head -n 1
}

pid=""
if [ -n "$local_service" ] && [ -x "$server" ]; then
    earlier=$(running_service || true)
    if [ -n "$earlier" ]; then
        echo "velquist: using the online service already running for you (pid $earlier)" >&2
    else
        log="${TMPDIR:-/tmp}/velquist-service-$(id -u).log"
        # Emptied here, not by the child: a line left from an earlier run must not pass for this one.
        : >"$log"
        mkdir -p "$state" && chmod 700 "$state"
        "$server" --data "$state" --port "$port" --listen 127.0.0.1 >>"$log" 2>&1 &
        pid=$!
        echo "$pid" >"$pidfile"
        # The game checks the account as it starts: give the service a moment.
        i=0
        while [ $i -lt 50 ] && ! grep -q "serving" "$log" 2>/dev/null; do
            if ! kill -0 "$pid" 2>/dev/null; then
                if grep -q "already in use" "$log" 2>/dev/null; then
                    holder=$(port_holder)
                    echo "velquist: port $port is already in use by ${holder:-another program}; the game talks to whatever answers there" >&2
                else
                    echo "velquist: the online service did not start (see $log)" >&2
                fi
                pid=""
                rm -f "$pidfile"
                break
            fi
            sleep 0.1
            i=$((i + 1))
        done
    fi
fi

# The game runs as a child so that the service can be stopped after it; a
# request to end (TERM, INT, HUP) is passed on to the game, which then closes
# as if its window were closed.
"$game" "$@" &
game_pid=$!
trap 'kill -TERM "$game_pid" 2>/dev/null' TERM INT HUP
status=0
while kill -0 "$game_pid" 2>/dev/null; do
    wait "$game_pid"
    status=$?
done

# Only the service this command started is stopped.
if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    rm -f "$pidfile"
fi
exit $status
