#!/usr/bin/env bash
# Runs one end-to-end road the way a person's desktop runs the product: a virtual display of its
# own with a tray host and a notification service, a session bus of its own, a temporary home,
# the real app and the real reference engine. The road drives the app only through its command
# file, the engine's socket and files. Every notice sent to the notification service is recorded.
#   run_road.sh ROAD.sh    with VARDEX_APP_EXE and VARDEX_ENGINE_EXE naming the programs
# With ROAD_DISPLAY=wayland the app sees a Wayland compositor (weston, drawing into the virtual
# display) instead of an X server, and VARDEX_DESKTOP_SERVICES_EXE names the program that stands
# in for its panel's tray host and notification service.
# A failed road keeps its folder (app log, command replies, screenshots) and says where; with
# ROAD_KEEP=1 a road that passes keeps it too.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${ROAD_DIR:-}" ]; then
    ROAD_DIR=$(mktemp -d /tmp/vardex-road.XXXXXX)
    export ROAD_DIR
    mkdir -m 700 "$ROAD_DIR/runtime"
    export XDG_RUNTIME_DIR="$ROAD_DIR/runtime"
    status=0
    dbus-run-session -- "$0" "$@" || status=$?
    if [ "$status" -eq 0 ] && [ -z "${ROAD_KEEP:-}" ]; then
        rm -rf "$ROAD_DIR"
    else
        echo "The road's files are kept in $ROAD_DIR"
    fi
    exit "$status"
fi

cd "$ROAD_DIR"
mkdir -p home screens

# Where the app and the engine keep their state in the road's home.
state="$ROAD_DIR/home/.local/state/talvenor"

fail() {
    echo "FAIL: $*" >&2
    echo "--- app log" >&2
    tail -n 30 "$ROAD_DIR/app.log" >&2 2>/dev/null || true
    echo "--- daemon log" >&2
    tail -n 30 "$state/logs/daemon.err.log" >&2 2>/dev/null || true
    exit 1
}

helpers=()
# The pid of the daemon that started last in the road's home, from the record it leaves.
daemon_pid() {
    python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["pid"])' "$state/daemon.json" 2>/dev/null
}
# An app stopped by force leaves its daemon behind, and a failed road may leave one: the app's
# children and the recorded daemon go first. Each line may fail (nothing left to end) without
# stopping the rest.
trap '[ -z "${app_pid:-}" ] || pkill -P "$app_pid" 2>/dev/null || true
      kill "$(daemon_pid)" 2>/dev/null || true
      kill "${helpers[@]}" ${app_pid:-} ${agent_pid:-} 2>/dev/null || true; wait 2>/dev/null || true' EXIT
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
    >"$ROAD_DIR/notices.txt" 2>/dev/null &
helpers+=($!)
# The server picks a free display itself and names it once it listens, so roads run side by side.
start_xvfb() {
    Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$ROAD_DIR/display" 2>/dev/null &
    helpers+=($!)
    for _ in $(seq 100); do grep -q '^[0-9]' "$ROAD_DIR/display" 2>/dev/null && break; sleep 0.05; done
    DISPLAY=":$(head -n 1 "$ROAD_DIR/display")"
    export DISPLAY
    [ "$DISPLAY" != ":" ] || fail "the virtual display did not start"
}
if [ "${ROAD_DISPLAY:-x11}" = wayland ]; then
    # Weston draws into a window on the virtual X display: unlike its headless back end, that gives
    # its seat a keyboard, so a window can have the focus. The app sees only the Wayland display.
    start_xvfb
    weston --backend=x11-backend.so --socket=wayland-road --width=1280 --height=800 --idle-time=0 \
        >"$ROAD_DIR/compositor.log" 2>&1 &
    helpers+=($!)
    "$VARDEX_DESKTOP_SERVICES_EXE" >"$ROAD_DIR/desktop-services.txt" 2>&1 &
    helpers+=($!)
    for _ in $(seq 100); do
        [ -S "$XDG_RUNTIME_DIR/wayland-road" ] && grep -q '^ready' "$ROAD_DIR/desktop-services.txt" && break
        sleep 0.05
    done
    [ -S "$XDG_RUNTIME_DIR/wayland-road" ] || fail "the compositor did not start: $(tail -n 5 "$ROAD_DIR/compositor.log")"
    grep -q '^ready' "$ROAD_DIR/desktop-services.txt" || fail "the desktop's services did not start"
    unset DISPLAY
    export WAYLAND_DISPLAY=wayland-road QT_QPA_PLATFORM=wayland
else
    start_xvfb
    # Should the notification service started below fail, the bus starts another on the same display.
    dbus-update-activation-environment DISPLAY 2>/dev/null || true
    trayer --edge top --align right --widthtype request --height 28 --SetDockType true >/dev/null 2>&1 &
    helpers+=($!)
    dunst >/dev/null 2>&1 &
    helpers+=($!)
    "$here/../../scripts/wait-for-tray.sh" 10 || fail "the tray host did not take the tray"
    export QT_QPA_PLATFORM=xcb
fi

. "$here/../../scripts/scripted-app-env.sh" "$ROAD_DIR" "$VARDEX_ENGINE_EXE"

sent=0
reply=
# Starts the app; its log goes on across restarts.
app_start() {
    "$VARDEX_APP_EXE" >>"$ROAD_DIR/app.log" 2>&1 &
    app_pid=$!
}

# Hands one command to the app and waits for its reply line, kept in $reply. A refusal ends the
# road unless the command is marked to be allowed to fail (step -may-fail ...).
step() {
    local must=1
    if [ "$1" = "-may-fail" ]; then must=0; shift; fi
    sent=$((sent + 1))
    printf '%s\n' "$*" >>"$VARDEX_COMMAND_FILE"
    for _ in $(seq 900); do
        if [ -f "$VARDEX_COMMAND_FILE.out" ] && [ "$(wc -l <"$VARDEX_COMMAND_FILE.out")" -ge "$sent" ]; then
            reply=$(sed -n "${sent}p" "$VARDEX_COMMAND_FILE.out")
            echo "  $* -> $reply"
            case "$reply" in
                *'"ok":true'*) return 0 ;;
                *) [ "$must" = 0 ] || fail "the app refused: $*"; return 1 ;;
            esac
        fi
        kill -0 "$app_pid" 2>/dev/null || fail "the app ended before answering: $*"
        sleep 0.1
    done
    # Where a hung app stands is the one thing its log cannot tell.
    if command -v gdb >/dev/null; then
        timeout 60 gdb -p "$app_pid" -batch -ex "thread apply all bt" >"$ROAD_DIR/app-stacks.txt" 2>&1 || true
        echo "--- where the app's threads stand (all in app-stacks.txt)" >&2
        grep -E '^(Thread|#)' "$ROAD_DIR/app-stacks.txt" | head -n 60 >&2 || true
    fi
    fail "the app did not answer: $*"
}

app_quit() {
    step quit
    wait "$app_pid" || fail "the app ended with a failure"
    app_pid=
}

# An agent asking the daemon about a shell command, in the background; its answer goes to FILE.
agent_asks() {  # SESSION COMMAND FILE
    "$VARDEX_ENGINE_EXE" ask --agent claude --session "$1" --shell "$2" >"$3" 2>&1 &
    agent_pid=$!
}

# The named member of the last reply's result (a dotted path), printed as JSON.
result() {
    REPLY_JSON="$reply" python3 -c '
import json, os, sys
value = json.loads(os.environ["REPLY_JSON"]).get("result")
for key in sys.argv[1].split(".") if sys.argv[1] else []:
    value = value[int(key)] if isinstance(value, list) else value[key]
print(json.dumps(value))' "${1:-}"
}

expect_in() {  # FILE TEXT WHAT
    grep -qF -- "$2" "$1" || fail "$3: \"$2\" not found in $(basename "$1"): $(head -c 600 "$1")"
}

expect_eq() {  # ACTUAL EXPECTED WHAT
    [ "$1" = "$2" ] || fail "$3: expected $2, got $1"
}

echo "Road $(basename "$1")"
# shellcheck source=/dev/null
. "$here/$1"
echo "The road was walked to its end."
