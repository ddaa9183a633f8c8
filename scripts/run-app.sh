#!/usr/bin/env bash
# Starts Vardex Bar from a build folder, with the reference engine as its engine.
set -euo pipefail
build=${1:-build/dev}
app="$build/src/ui/vardex-bar"
if [ ! -x "$app" ]; then
  echo "No desktop app in $build yet: run 'make run' to build it first."
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat <<'TEXT'
No display was found, so Vardex Bar has nowhere to show its tray icon.
To try it on a virtual display, with a tray and a notification service:

  dbus-run-session -- xvfb-run -a -s "-screen 0 1280x800x24" \
    sh -c 'trayer --edge top --align right --widthtype request --height 24 & dunst & sleep 1; scripts/run-app.sh'

and, from a shell on the same display, let an agent ask something:

  build/dev/engine/vardex ask --agent claude --session S --shell "sudo ls"
TEXT
  exit 0
fi
export VARDEX_BIN=${VARDEX_BIN:-$PWD/$build/engine/vardex}
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
