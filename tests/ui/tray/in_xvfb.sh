#!/usr/bin/env bash
# Runs a tray test program on a virtual X display of its own, on a session bus of its own, with a
# private runtime folder. With --trayer first, trayer holds the tray before the program starts
# (the desktop benchmarks measure the icon reaching it).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" = "--trayer" ]; then
    shift
    set -- sh -c 'trayer --edge top --align right --widthtype request --height 28 --SetDockType true >/dev/null 2>&1 &
                  "$0" 10 && "$@"' "$here/../../../scripts/wait-for-tray.sh" "$@"
fi
runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=xcb
# A random first display number: two runs started together do not both take :99.
exec dbus-run-session -- xvfb-run -a -n $((100 + RANDOM % 4000)) -s "-screen 0 1280x800x24" "$@"
