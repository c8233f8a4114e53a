#!/usr/bin/env bash
# Takes a screenshot of the Telvora window, run as scripts/run.sh runs it, under Xvfb.
#
#   scripts/screenshot.sh [--upload] [OUT.png]     default: demo/telvora.png
#
# With --upload it first does what a user does (xdotool): types the sample callsign Q9TEST,
# ticks every log, picks the first award, presses "Upload log" and waits for the run to end.
#
# OUT.png holds the window with its frame as the window manager (openbox) draws it;
# OUT-screen.png the whole virtual screen (with any box that start-up showed).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
upload=0
if [ "${1:-}" = "--upload" ]; then
  upload=1
  shift
fi
out=${1:-$top/demo/telvora.png}
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
mkdir -p "$(dirname "$out")"

prepared=$("$top/scripts/run.sh" --prepare)
eval "$prepared"
export TELVORA_BIN OUT="$out" UPLOAD="$upload"
export ERROR_LIST="$(dirname "$TELVORA_BIN")/ErrorList.txt"
rm -f "$ERROR_LIST"
unset QT_QPA_PLATFORM

# shellcheck source=scripts/demo-service.sh
. "$top/scripts/demo-service.sh"
service_log=$(mktemp)
demo_start_service "$service_log" "$TELVORA_DEMO_PORT" "${TELVORA_SERVICE[@]}"
trap 'kill "$demo_service_pid" 2>/dev/null || true; rm -f "$service_log"' EXIT

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -euo pipefail
  openbox >/dev/null 2>&1 &
  wm=$!
  "$TELVORA_BIN" &
  pid=$!
  trap "kill $pid $wm 2>/dev/null || true" EXIT
  title="Telvora statistic from csv file"
  for _ in $(seq 1 150); do
    if xwininfo -root -tree 2>/dev/null | grep -q "\"$title\""; then
      break
    fi
    sleep 0.2
  done
  sleep 1  # let it finish painting
  info=$(xwininfo -name "$title")
  x=$(awk "/Absolute upper-left X/ {print \$4}" <<<"$info")
  y=$(awk "/Absolute upper-left Y/ {print \$4}" <<<"$info")
  if [ "$UPLOAD" = 1 ]; then
    click() { xdotool mousemove $((x + $1)) $((y + $2)) click 1; sleep 0.3; }
    click 80 34 && xdotool type --delay 50 Q9TEST          # Edit1
    for row in 0 1 2; do click 224 $((32 + row * 16)); done  # the check boxes of the logs
    click 60 74 && click 60 92                            # RxDBLookupCombo2: open, first row
    click 180 167                                           # Upload log
    for _ in $(seq 1 100); do
      [ -f "$ERROR_LIST" ] && break
      sleep 0.2
    done
    sleep 1
  fi
  screen="${OUT%.png}-screen.png"
  import -window root "$screen"
  w=$(awk "/Width:/ {print \$2}" <<<"$info")
  h=$(awk "/Height:/ {print \$2}" <<<"$info")
  # The frame around the client area: _NET_FRAME_EXTENTS is left, right, top, bottom.
  id=$(awk "/Window id:/ {print \$4}" <<<"$info")
  read -r left right top bottom < <(xprop -id "$id" _NET_FRAME_EXTENTS 2>/dev/null |
    sed -n "s/.*= *//p" | tr -d ",") || true
  left=${left:-0} right=${right:-0} top=${top:-0} bottom=${bottom:-0}
  convert "$screen" -crop "$((w + left + right))x$((h + top + bottom))+$((x - left))+$((y - top))" \
    +repage "$OUT"
  echo "window ${w}x${h} at ${x},${y}: $OUT (whole screen: $screen)"
'
