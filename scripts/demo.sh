#!/usr/bin/env bash
# Shows Vardex Bar at work on a machine without a display: a virtual screen with a tray and a
# notification service, a temporary home, the reference engine as the engine, and a short visit
# driven through the automation command file. Prints the folder of the screenshots it took.
#   scripts/demo.sh [build folder]
set -euo pipefail
build=${1:-build/dev}
root=$(cd "$(dirname "$0")/.." && pwd)
app="$root/$build/src/ui/vardex-bar"
engine="$root/$build/engine/vardex"

if [ -z "${VARDEX_DEMO_INSIDE:-}" ]; then
    out=$(mktemp -d /tmp/vardex-demo.XXXXXX)
    export VARDEX_DEMO_INSIDE="$out"
    runtime="$out/runtime"
    mkdir -m 700 -p "$runtime"
    export XDG_RUNTIME_DIR="$runtime"
    echo "Playing the demo on a virtual display; screenshots go to $out/screens"
    dbus-run-session -- xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$build"
    echo
    echo "Screenshots of each step: $out/screens"
    ls "$out/screens"
    exit 0
fi

out="$VARDEX_DEMO_INSIDE"
. "$root/scripts/scripted-app-env.sh" "$out" "$engine"

trayer --edge top --align right --widthtype request --height 28 >/dev/null 2>&1 &
helpers=($!)
dunst >/dev/null 2>&1 &
helpers+=($!)
"$root/scripts/wait-for-tray.sh" || echo "No tray came up: the popover shows as a window."
"$app" >"$out/app.log" 2>&1 &
app_pid=$!
trap 'kill "$app_pid" "${helpers[@]}" 2>/dev/null || true; wait 2>/dev/null || true' EXIT

sent=0
# Hands one command to the app and waits for its answer line; stops the demo on a refusal.
step() {
    sent=$((sent + 1))
    printf '%s\n' "$*" >>"$VARDEX_COMMAND_FILE"
    for _ in $(seq 1 600); do
        if [ -f "$VARDEX_COMMAND_FILE.out" ] && [ "$(wc -l <"$VARDEX_COMMAND_FILE.out")" -ge "$sent" ]; then
            reply=$(sed -n "${sent}p" "$VARDEX_COMMAND_FILE.out")
            case "$reply" in
                *'"ok":true'*) echo "  ok    $*"; return 0 ;;
                *) echo "  FAIL  $* -> $reply"; exit 1 ;;
            esac
        fi
        sleep 0.1
    done
    echo "  the app did not answer: $*"
    exit 1
}

echo "1. The app starts, turns protection on and connects to the engine."
step wait-until connected 30
step open-popover
step capture 01-protected

echo "2. An agent asks to run 'sudo ls /root'; the question waits for an answer."
"$engine" ask --agent claude --session demo-1 --shell "sudo ls /root" >"$out/agent.txt" 2>&1 &
agent_pid=$!
step wait-until pending\>=1 20
step capture 02-question

echo "3. The question is answered: allow this time."
step answer first allow_once
wait "$agent_pid" || true
echo "   the agent heard: $(tr '\n' ' ' <"$out/agent.txt")"

echo "4. The activity fills from the engine's log."
step refresh
step wait-until idle 20
step close-popover
step open-window dashboard
step page activity
step capture 03-activity
step open-window log
step capture 04-log
step export-receipt "$out/screens/05-receipt.png"
step quit
wait "$app_pid" || true
