#!/usr/bin/env bash
# Starts Vardex Bar from a build folder, with the reference engine as its engine.
set -euo pipefail
build=${1:-build/dev}
app="$build/src/ui/vardex-bar"
if [ ! -x "$app" ]; then
  echo "Vardex Bar has no desktop app yet: the protocol and engine libraries are being built first."
  echo "Run 'make test' to build and test what exists."
  exit 0
fi
export VARDEX_BIN=${VARDEX_BIN:-$PWD/$build/engine/vardex}
exec "$app"
