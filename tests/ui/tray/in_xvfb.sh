#!/usr/bin/env bash
# Runs a tray test program on a virtual X display of its own, on a session bus of its own, with a
# private runtime folder. With --trayer, an XEmbed tray host runs on the display first.
set -euo pipefail
trayer=0
if [ "${1:-}" = "--trayer" ]; then
  trayer=1
  shift
fi
runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=xcb TRAY_TEST_TRAYER=$trayer
# A random first display number: two runs started together do not both take :99.
exec dbus-run-session -- xvfb-run -a -n $((100 + RANDOM % 4000)) -s "-screen 0 1280x800x24" bash -c '
  if [ "$TRAY_TEST_TRAYER" = 1 ]; then
    trayer --edge top --align right --widthtype request --height 24 --SetDockType true &
    host=$!
    trap "kill $host 2>/dev/null; wait $host 2>/dev/null" EXIT
    for _ in $(seq 50); do xdotool search --class trayer >/dev/null 2>&1 && break; sleep 0.1; done
  fi
  "$@"
' bash "$@"
