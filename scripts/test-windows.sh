#!/usr/bin/env bash
# The Windows build's tests, as CI runs them after the Linux ones: installs what is missing,
# builds the windows preset (MinGW-w64, i686, build-windows/) and runs its CTest suite under Wine,
# in a throwaway prefix that is removed afterwards (its wineserver stopped by that prefix).
#   scripts/test-windows.sh [ctest arguments...]     e.g. scripts/test-windows.sh -L platform
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=$(nproc)

"$top/scripts/install-deps.sh" windows

echo "== windows: configure, build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

prefix=$(mktemp -d "${TMPDIR:-/tmp}/telvora-wine-XXXXXX")
cleanup() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono or Gecko: the prefix is made without asking to download them.
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY

echo "== windows: a Wine prefix in $prefix"
# One wineserver for the whole run, rather than one started and stopped for every test.
wineserver --persistent
wineboot --init >/dev/null 2>&1

echo "== windows: test under Wine"
ctest --preset windows -j "$jobs" "$@"
