#!/usr/bin/env bash
# Runs a tray test program on a virtual X display of its own, on a session bus of its own, with a
# private runtime folder.
set -euo pipefail
runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=xcb
# A random first display number: two runs started together do not both take :99.
exec dbus-run-session -- xvfb-run -a -n $((100 + RANDOM % 4000)) -s "-screen 0 1280x800x24" "$@"
