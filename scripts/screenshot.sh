#!/usr/bin/env bash
# Takes a screenshot of the Telvora window, run as scripts/run.sh runs it, under Xvfb.
#
#   scripts/screenshot.sh [OUT.png]     default: build/telvora.png
#
# OUT.png holds the window alone; OUT-screen.png the whole virtual screen (with any box that
# start-up showed). There is no window manager under Xvfb, so the window has no frame.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TELVORA_BUILD_DIR:-$top/build}
out=${1:-$build/telvora.png}
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
mkdir -p "$(dirname "$out")"

eval "$("$top/scripts/run.sh" --prepare)"
export TELVORA_BIN OUT="$out"
unset QT_QPA_PLATFORM

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -euo pipefail
  "$TELVORA_BIN" &
  pid=$!
  trap "kill $pid 2>/dev/null || true" EXIT
  title="Telvora statistic from csv file"
  for _ in $(seq 1 150); do
    if xwininfo -root -tree 2>/dev/null | grep -q "\"$title\""; then
      break
    fi
    sleep 0.2
  done
  sleep 1  # let it finish painting
  screen="${OUT%.png}-screen.png"
  import -window root "$screen"
  info=$(xwininfo -name "$title")
  x=$(awk "/Absolute upper-left X/ {print \$4}" <<<"$info")
  y=$(awk "/Absolute upper-left Y/ {print \$4}" <<<"$info")
  w=$(awk "/Width:/ {print \$2}" <<<"$info")
  h=$(awk "/Height:/ {print \$2}" <<<"$info")
  convert "$screen" -crop "${w}x${h}+${x}+${y}" +repage "$OUT"
  echo "window ${w}x${h} at ${x},${y}: $OUT (whole screen: $screen)"
'
