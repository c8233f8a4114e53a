# shellcheck shell=bash
# The demo's district-list service on loopback; sourced by scripts/run.sh and
# scripts/screenshot.sh. Telvora is built against one fixed port, so a port that another
# program holds is said plainly instead of announcing a service that never answers (the upload
# would then fail with "unknown error").

# Says that the port is taken and what to do, and ends the script.
demo_port_taken() {
  local port=$1 detail=${2:-}
  echo "Port $port on 127.0.0.1 is taken by another program${detail:+ ($detail)}." >&2
  echo "Stop that program, or choose another port with TELVORA_DEMO_PORT (e.g." \
    "TELVORA_DEMO_PORT=$((port + 1)))." >&2
  exit 1
}

# Ends the script when something already listens on the port (checked before the build, so
# that nobody waits for a build that cannot be used).
demo_check_port() {
  local port=$1
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    demo_port_taken "$port"
  fi
}

# Starts the service in the background (the command line after LOG and PORT) and waits until
# it listens: it prints its port as its first line then, or ends when it cannot listen. Sets
# demo_service_pid.
demo_start_service() {
  local log=$1 port=$2
  shift 2
  "$@" >"$log" 2>&1 &
  demo_service_pid=$!
  # A guard against a service that neither listens nor ends, not a measure of speed.
  for _ in $(seq 1 600); do
    if grep -qx "$port" "$log" 2>/dev/null; then
      return 0
    fi
    if ! kill -0 "$demo_service_pid" 2>/dev/null; then
      wait "$demo_service_pid" || true
      if grep -q "can't listen" "$log"; then
        demo_port_taken "$port" "$(tail -n 1 "$log")"
      fi
      break
    fi
    sleep 0.1
  done
  kill "$demo_service_pid" 2>/dev/null || true
  echo "The district-list service did not start listening on port $port:" >&2
  tail -n 5 "$log" >&2
  exit 1
}
