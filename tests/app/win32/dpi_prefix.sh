#!/usr/bin/env bash
# A Wine prefix at another logical dpi, for the display-scaling tests (the FIXTURES_SETUP and
# FIXTURES_CLEANUP tests around them), beside the suite's own prefix at 96: Wine 8 takes each
# process's dpi from HKCU\Control Panel\Desktop\LogPixels when the process starts, so the value
# cannot change under the suite's other tests. It runs on the X server and with the Wine of
# scripts/test-windows.sh (its environment), with a wineserver and a desktop user of its own,
# as that script's prefix has.
#   dpi_prefix.sh start PREFIX DPI WINE_DESKTOP_EXE
#   dpi_prefix.sh stop PREFIX
set -euo pipefail

case "${1:-}" in
start)
  prefix=${2:?usage: dpi_prefix.sh start PREFIX DPI WINE_DESKTOP_EXE}
  dpi=${3:?usage: dpi_prefix.sh start PREFIX DPI WINE_DESKTOP_EXE}
  desktop=${4:?usage: dpi_prefix.sh start PREFIX DPI WINE_DESKTOP_EXE}
  export WINEPREFIX="$prefix"
  wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
  mkdir -p "$prefix"
  # Every output to files: CTest waits for the test's output to end, and the server, the
  # prefix's services and the desktop live on after this script.
  wineserver --persistent </dev/null >/dev/null 2>&1
  # Plain wineboot waits for the prefix's own set-up (see scripts/test-windows.sh).
  wineboot </dev/null >"$prefix/wineboot.log" 2>&1
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
    </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    </dev/null >/dev/null 2>&1
  wine "$desktop" </dev/null >"$prefix/desktop.log" 2>&1 &
  for _ in $(seq 1 300); do
    grep -q ready "$prefix/desktop.log" 2>/dev/null && break
    sleep 0.1
  done
  grep -q ready "$prefix/desktop.log" ||
    { echo "dpi_prefix.sh: the desktop did not start: $(cat "$prefix/desktop.log")" >&2; exit 1; }
  echo "a Wine prefix at $dpi dpi in $prefix"
  ;;
stop)
  prefix=${2:?usage: dpi_prefix.sh stop PREFIX}
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
  ;;
*)
  echo "usage: dpi_prefix.sh start PREFIX DPI WINE_DESKTOP_EXE | stop PREFIX" >&2
  exit 2
  ;;
esac
