#!/usr/bin/env bash
# Runs a UI test program on a session bus of its own, with a private runtime folder, so no test
# meets another's bus names or leaves a bus running.
set -euo pipefail
runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime"
dbus-run-session -- "$@"
