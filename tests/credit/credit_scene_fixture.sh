#!/usr/bin/env bash
# The setting of the Windows build's end-to-end credit run, made natively by the host's tools
# (CTest runs it as a fixture beside the tests under Wine):
#   credit_scene_fixture.sh setup TOOLS_DIR SCENE_DIR LOCALE...
#   credit_scene_fixture.sh cleanup SCENE_DIR
# setup writes into SCENE_DIR (emptied first):
#   pristine/db/{logs,awards}.mdb  a sample logger installation (the generator, fixed seed)
#   lists/Q9TEST.csv               the district list for Q9TEST, served by the service
#   ca/                            a throwaway certificate authority and the service's key
#   service.url, service.pid       the district-list service, started on a free loopback port
#   linux-LOCALE/                  a copy of pristine credited by the Linux build's run under
#                                  LOCALE, with its ErrorList.txt: what the Windows run must give
# cleanup stops the service and removes SCENE_DIR.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)

stop_service() {
  local scene=$1
  if [ -f "$scene/service.pid" ]; then
    kill "$(cat "$scene/service.pid")" 2>/dev/null || true
    rm -f "$scene/service.pid"
  fi
}

case "${1:-}" in
  setup)
    tools=$2 scene=$3
    shift 3
    stop_service "$scene"
    rm -rf "$scene"
    mkdir -p "$scene/lists"
    "$top/scripts/make-test-ca.sh" "$scene/ca"
    "$tools/telvora-sample-logger" --out "$scene/pristine" --logs 3 --contacts 2000 --seed 11 \
      --list "$scene/lists/Q9TEST.csv" --lines 300 --callsign Q9TEST --matching 0.8 \
      --suffixed 0.25

    # Its output goes to files, so that CTest does not wait for it past this script.
    "$tools/telvora-district-service" --root "$scene/lists" --cert "$scene/ca/server.pem" \
      --key "$scene/ca/server.key" --port 0 </dev/null >"$scene/service.out" \
      2>"$scene/service.err" &
    echo $! >"$scene/service.pid"
    for _ in $(seq 100); do
      port=$(head -n 1 "$scene/service.out")
      [ -n "$port" ] && break
      sleep 0.1
    done
    if [ -z "$port" ]; then
      echo "credit_scene_fixture.sh: the district-list service did not start:" >&2
      cat "$scene/service.err" >&2
      stop_service "$scene"
      exit 1
    fi
    echo "https://127.0.0.1:$port" >"$scene/service.url"

    for locale in "$@"; do
      cp -r "$scene/pristine" "$scene/linux-$locale"
      LANG=$locale LC_ALL=$locale SSL_CERT_FILE="$scene/ca/ca.pem" no_proxy=127.0.0.1 \
        "$tools/telvora-credit-run" --install "$scene/linux-$locale" \
        --service "https://127.0.0.1:$port" --callsign Q9TEST
    done
    ;;
  cleanup)
    stop_service "$2"
    rm -rf "$2"
    ;;
  *)
    echo "usage: credit_scene_fixture.sh setup TOOLS_DIR SCENE_DIR LOCALE... | cleanup SCENE_DIR" >&2
    exit 2
    ;;
esac
