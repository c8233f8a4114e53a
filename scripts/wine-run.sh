#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, in the prefix named by WINEPREFIX
# (scripts/test-windows.sh makes a throwaway one); the program's exit code is this script's.
# CTest calls it for every test of the windows preset (CMAKE_CROSSCOMPILING_EMULATOR).
set -euo pipefail
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run.sh: WINEPREFIX is not set; run the Windows tests through scripts/test-windows.sh" >&2
  exit 2
fi
export WINEDEBUG=${WINEDEBUG:--all}
exec wine "$@"
