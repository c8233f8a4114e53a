#!/usr/bin/env bash
# Starts and stops the district service's control mode for a CTest run (the FIXTURES_SETUP and
# FIXTURES_CLEANUP tests of the download tests): the download cases that run their servers in
# another process, all of them under Wine, drive them through its control port. The port goes
# into DIR/control.port once the service listens.
#   scripts/district-service-fixture.sh start SERVICE_PROGRAM DIR
#   scripts/district-service-fixture.sh stop DIR
set -euo pipefail

case "${1:-}" in
start)
  program=${2:?usage: district-service-fixture.sh start SERVICE_PROGRAM DIR}
  dir=${3:?usage: district-service-fixture.sh start SERVICE_PROGRAM DIR}
  mkdir -p "$dir"
  rm -f "$dir/control.port" "$dir/announced"
  # Its output goes to files, so that CTest waits for none of it. Should the stop never come
  # (an interrupted run), it ends by itself once no test has talked to it for ten minutes.
  "$program" --control --exit-when-idle 600 </dev/null >"$dir/announced" 2>"$dir/service.log" &
  pid=$!
  echo "$pid" >"$dir/pid"
  for _ in $(seq 300); do
    # The port is announced as a whole line once the service listens.
    if [ "$(wc -l <"$dir/announced")" -ge 1 ]; then
      head -n 1 "$dir/announced" >"$dir/control.port"
      echo "district service $pid: control port $(cat "$dir/control.port")"
      exit 0
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
      echo "the district service did not start:" >&2
      cat "$dir/service.log" >&2
      exit 1
    fi
    sleep 0.1
  done
  echo "the district service announced no port within 30 s" >&2
  exit 1
  ;;
stop)
  dir=${2:?usage: district-service-fixture.sh stop DIR}
  [ -f "$dir/pid" ] || exit 0
  pid=$(cat "$dir/pid")
  rm -f "$dir/pid" "$dir/control.port"
  kill "$pid" 2>/dev/null || exit 0
  for _ in $(seq 100); do
    # Gone, or ended and not yet reaped by whoever inherited it.
    case "$(ps -o stat= -p "$pid" 2>/dev/null || true)" in
    "" | Z*) exit 0 ;;
    esac
    sleep 0.1
  done
  echo "the district service $pid did not end" >&2
  exit 1
  ;;
*)
  echo "usage: district-service-fixture.sh start SERVICE_PROGRAM DIR | stop DIR" >&2
  exit 2
  ;;
esac
