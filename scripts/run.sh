#!/usr/bin/env bash
# Runs the main job on a sample setting: installs what is missing, builds Telvora against the
# local district-list service, makes a sample logger installation and a district list for the
# callsign Q9TEST, points the demo's registry file at the installation, starts the service on
# loopback with a throwaway certificate authority (trusted through SSL_CERT_FILE) and opens
# Telvora. Type Q9TEST, tick logs, pick an award and press "Upload log".
#
#   scripts/run.sh              build, prepare, start the service, open Telvora
#   scripts/run.sh --prepare    build and prepare only; prints the program's environment as
#                               shell assignments (scripts/screenshot.sh uses them)
#
# The demo keeps to its own folders: demo/ (logger, lists, certificates, XDG_CONFIG_HOME) and
# build-demo/ (Telvora built with TELVORA_SERVICE_HOST=127.0.0.1:$TELVORA_DEMO_PORT), so the
# user's own configuration and the build/ of the tests are left alone. Remove demo/ for fresh
# sample data. TELVORA_DEMO_BUILD_DIR, TELVORA_DEMO_DIR and TELVORA_DEMO_PORT (default 8443)
# move them.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TELVORA_DEMO_BUILD_DIR:-$top/build-demo}
demo=${TELVORA_DEMO_DIR:-$top/demo}
port=${TELVORA_DEMO_PORT:-8443}
callsign=Q9TEST
prepare_only=0
if [ "${1:-}" = "--prepare" ]; then
  prepare_only=1
fi
# shellcheck source=scripts/demo-service.sh
. "$top/scripts/demo-service.sh"
demo_check_port "$port"

# Everything but the final assignments goes to stderr, so --prepare's output stays clean.
{
  "$top/scripts/install-deps.sh" build gui
  # The first build compiles the Qt program and the tools for minutes; say so, rather than
  # leave the terminal silent behind the compiler's lines.
  echo "Building the demo in $build: the first build takes a few minutes, later ones only what changed."
  (cd "$top" && cmake --preset demo -B "$build" -DTELVORA_SERVICE_HOST="127.0.0.1:$port" >/dev/null)
  cmake --build "$build" -j "$(nproc)" --target telvora telvora-sample-logger \
    telvora-district-service

  # The logger installation (db/logs.mdb, db/awards.mdb) and the list the service sends for
  # the sample callsign: confirmed contacts, some logged with /P or /M, some matching nothing.
  logger="$demo/logger"
  if [ ! -f "$logger/db/logs.mdb" ] || [ ! -f "$logger/db/awards.mdb" ] ||
    [ ! -f "$demo/lists/$callsign.csv" ]; then
    mkdir -p "$demo/lists"
    "$build/bin/telvora-sample-logger" --out "$logger" --logs 3 --contacts 2000 --seed 1 \
      --replace --list "$demo/lists/$callsign.csv" --lines 200 --callsign "$callsign"
  fi
  if [ ! -f "$demo/ca/ca.pem" ]; then
    "$top/scripts/make-test-ca.sh" "$demo/ca"
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

service=("$build/bin/telvora-district-service" --root "$demo/lists" --cert "$demo/ca/server.pem"
  --key "$demo/ca/server.key" --port "$port")

if [ "$prepare_only" = 1 ]; then
  printf 'export XDG_CONFIG_HOME=%q SSL_CERT_FILE=%q no_proxy=127.0.0.1,localhost\n' \
    "$config" "$demo/ca/ca.pem"
  printf 'TELVORA_BIN=%q\nTELVORA_DEMO_PORT=%q\nTELVORA_SERVICE=(%s)\n' "$build/bin/telvora" "$port" \
    "$(printf '%q ' "${service[@]}")"
  exit 0
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display to open the window on; scripts/screenshot.sh runs it under Xvfb." >&2
  exit 1
fi

demo_start_service "$demo/service.log" "$port" "${service[@]}"
trap 'kill "$demo_service_pid" 2>/dev/null || true' EXIT
echo "District-list service on https://127.0.0.1:$port (log: $demo/service.log)." >&2
echo "Type the callsign $callsign, tick logs, pick an award and press \"Upload log\"." >&2

export XDG_CONFIG_HOME="$config" SSL_CERT_FILE="$demo/ca/ca.pem" no_proxy=127.0.0.1,localhost
"$build/bin/telvora"
