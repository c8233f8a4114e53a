#!/usr/bin/env bash
# Opens Telvora on a sample logger installation. Installs what is missing, builds, makes the
# logger's two databases with the sample-logger generator (once; remove demo/ for fresh ones),
# points the registry file of the demo at them and starts the program. The demo has its own
# XDG_CONFIG_HOME (demo/config), so the user's own configuration is left alone.
#
#   scripts/run.sh              build, prepare the demo, open Telvora
#   scripts/run.sh --prepare    build and prepare only; prints the environment for the program
#                               as shell assignments (scripts/screenshot.sh uses them)
#
# TELVORA_BUILD_DIR (default build/) and TELVORA_DEMO_DIR (default demo/) move the folders.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TELVORA_BUILD_DIR:-$top/build}
demo=${TELVORA_DEMO_DIR:-$top/demo}
prepare_only=0
if [ "${1:-}" = "--prepare" ]; then
  prepare_only=1
fi

# Everything but the final assignments goes to stderr, so --prepare's output stays clean.
{
  "$top/scripts/install-deps.sh"
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j "$(nproc)" --target telvora telvora-sample-logger

  # The logger installation: db/logs.mdb and db/awards.mdb with realistic contacts.
  logger="$demo/logger"
  if [ ! -f "$logger/db/logs.mdb" ] || [ ! -f "$logger/db/awards.mdb" ]; then
    "$build/bin/telvora-sample-logger" --out "$logger" --logs 3 --contacts 2000 --seed 1 --replace
  fi

  # The current user's registry of the demo: the logger's key with its InstallPath (with the
  # closing separator: the program appends "db\logs.mdb" to it as stored).
  config="$demo/config"
  mkdir -p "$config/telvora"
  install_path="$logger/"
  install_path=${install_path//\\/\\\\}
  install_path=${install_path//\"/\\\"}
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n"InstallPath"="%s"\r\n' \
    "$install_path" >"$config/telvora/HKEY_CURRENT_USER.reg"
} 1>&2

if [ "$prepare_only" = 1 ]; then
  printf 'export XDG_CONFIG_HOME=%q\nTELVORA_BIN=%q\n' "$config" "$build/bin/telvora"
  exit 0
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display to open the window on; scripts/screenshot.sh runs it under Xvfb." >&2
  exit 1
fi
export XDG_CONFIG_HOME="$config"
exec "$build/bin/telvora"
