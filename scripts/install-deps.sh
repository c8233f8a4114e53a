#!/usr/bin/env bash
# Installs the Debian packages Telvora needs to build, test and run, when any is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev libgl-dev
  libcurl4-openssl-dev libsqlite3-dev sqlite3 libssl-dev openssl ca-certificates
  libcpp-httplib-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth x11-utils xdotool imagemagick xdg-utils
  fonts-dejavu-core fonts-liberation
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
