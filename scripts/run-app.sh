#!/usr/bin/env bash
# Starts Vardex Bar from a build folder, with the reference engine as its engine.
set -euo pipefail
build=${1:-build/dev}
app="$build/src/ui/vardex-bar"
if [ ! -x "$app" ]; then
  echo "No desktop app in $build yet: run 'make run' to build it first."
  exit 1
fi
# With no display at all, the same app plays a short scripted demo on a virtual display.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec "$(dirname "$0")/demo.sh" "$build"
fi
export VARDEX_BIN=${VARDEX_BIN:-$PWD/$build/engine/vardex}
# A build folder is no place to offer adding the app to the applications menu from.
export VARDEX_SKIP_MOVE_PROMPT=${VARDEX_SKIP_MOVE_PROMPT:-1}
# Without a user service manager (containers, a bare Xvfb session) the app runs the daemon itself.
if [ -z "${VARDEX_SKIP_LAUNCHCTL:-}" ] && ! systemctl --user show-environment >/dev/null 2>&1; then
  export VARDEX_SKIP_LAUNCHCTL=1
fi
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d)
  chmod 700 "$XDG_RUNTIME_DIR"
  export XDG_RUNTIME_DIR
fi
# The app talks to the desktop over the session bus; without one it gets a private one.
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  exec dbus-run-session -- "$app"
fi
exec "$app"
