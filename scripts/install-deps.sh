#!/usr/bin/env bash
# Installs the Debian packages Vardex Bar needs to build, test and run.
# Only what is missing is installed; apt-get update runs at most once.
set -euo pipefail

packages=(
  # toolchain
  g++ clang libclang-rt-14-dev cmake ninja-build make pkg-config
  # core libraries
  nlohmann-json3-dev libutf8proc-dev libhowardhinnant-date-dev libfmt-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev libyaml-cpp-dev
  # reference engine, and the sandbox it runs allowed commands in
  libcli11-dev libssl-dev bubblewrap
  # desktop shell and its test display
  qt6-base-dev qt6-svg-dev xvfb xauth fonts-dejavu-core dbus dbus-x11 dunst
  libnotify-bin xdotool trayer imagemagick python3 libx11-6
  # a Wayland session for the app and its road: Qt's Wayland platform and a compositor
  qt6-wayland weston
  # packaging and its validators
  dpkg-dev desktop-file-utils appstream
  # coverage report; where a hung app stands when a road fails
  gcovr gdb
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# The MCP proxy is tested against a published MCP server run by Node.js and installed with npm:
# Debian's packages when the machine has neither (a Node.js installed otherwise is used as it is).
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
