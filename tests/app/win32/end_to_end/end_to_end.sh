#!/usr/bin/env bash
# Telvora.exe end to end under Wine, as a user drives it: on the X server and window manager
# of scripts/test-windows.sh (DISPLAY, WINEPREFIX from there), with real input from xdotool.
#
#   end_to_end.sh TELVORA_EXE NOTEPAD_RECORDER TRUST_ROOT DISTRICT_SERVICE PORT SAMPLE_LOGGER
#                 LINUX_TELVORA WORK_DIR
#
# The logger is the generator's installation (SAMPLE_LOGGER/db/*.mdb), found through the
# current user's registry and read through ODBC; the district list, SAMPLE_LOGGER/Q9TEST.csv,
# is downloaded over WinHTTP from DISTRICT_SERVICE, run natively on 127.0.0.1:PORT (the host
# TELVORA_EXE is built for) with a throwaway CA that TRUST_ROOT adds to the prefix's Root store.
# Steps: start, type the callsign, tick every log, pick the first award, press "Upload log";
# the credits land in awards.mdb, ErrorList.txt is written beside the program and the shell is
# asked to open it in Notepad (a recording notepad.exe in the prefix's place of it takes the
# request; one beside the program must not);
# Alt+F4 closes with exit code 0 and Telvora.ini holds the place and the callsign; a second
# start restores both from an edited Telvora.ini. Last, the screen's pixels of the panel's
# gradient and of the progress bar are compared with the Linux Qt window's on the same server
# (both shells draw the core's pictures).
set -euo pipefail
exe=$1 notepad=$2 trust_root=$3 service=$4 port=$5 sample=$6 qt=$7 work=$8
title="Telvora statistic from csv file"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
step() { echo "-- $*"; }
# The Windows name of a host path (Wine's Z: drive is the host's root).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Telvora.exe and the logger where a Russian user's files are: in a folder named in Cyrillic,
# with a blank (every file name reaches Windows as UTF-16, or this check fails).
win="$work/Тест папка"
rm -rf "$work"
mkdir -p "$win/bin" "$win/logger/db" "$work/linux/logger/db" "$work/linux/config/telvora"
cp "$exe" "$win/bin/Telvora.exe"
cp "$sample/db/logs.mdb" "$sample/db/awards.mdb" "$win/logger/db/"
cp "$sample/db/logs.mdb" "$sample/db/awards.mdb" "$work/linux/logger/db/"
list="$sample/Q9TEST.csv"

# The logger's key, with the closing separator, as the logger writes it.
wine reg add 'HKCU\Software\Quorvex' /v InstallPath /t REG_SZ /d "$(winpath "$win/logger")\\" \
  /f >/dev/null 2>&1
# Notepad: the recorder in the prefix's place of it (both system folders: a 32-bit program's
# system32 is syswow64 in a 64-bit prefix), loaded as the file it is rather than Wine's own;
# the prefix's Notepad comes back afterwards. Another one beside Telvora.exe, where a bare
# "notepad.exe" would be found first: the system's own must be the one started.
cp "$notepad" "$win/bin/notepad.exe"
notepads=()
for folder in system32 syswow64; do
  file="$WINEPREFIX/drive_c/windows/$folder/notepad.exe"
  if [ -f "$file" ]; then
    cp "$file" "$work/notepad-$folder.exe"
    cp "$notepad" "$file"
    notepads+=("$folder")
  fi
done
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}notepad.exe=n"
export TELVORA_NOTEPAD_LOG
TELVORA_NOTEPAD_LOG=$(winpath "$work/notepad-request.txt")
cleanup() {
  wine reg delete 'HKCU\Software\Quorvex' /f >/dev/null 2>&1 || true
  [ -z "${app_pid:-}" ] || kill "$app_pid" 2>/dev/null || true
  [ -z "${qt_pid:-}" ] || kill "$qt_pid" 2>/dev/null || true
  [ -z "${service_pid:-}" ] || kill "$service_pid" 2>/dev/null || true
  for folder in "${notepads[@]}"; do
    cp "$work/notepad-$folder.exe" "$WINEPREFIX/drive_c/windows/$folder/notepad.exe"
  done
}
trap cleanup EXIT

# The district-list service, natively on the port Telvora.exe is built for; it records the
# requests it got when it ends.
"$(dirname "$0")/../../../../scripts/make-test-ca.sh" "$work/ca" >/dev/null 2>&1
"$service" --root "$sample" --cert "$work/ca/server.pem" --key "$work/ca/server.key" \
  --port "$port" --record "$work/requests.txt" </dev/null >"$work/service.out" \
  2>"$work/service.err" &
service_pid=$!
for _ in $(seq 100); do
  [ -s "$work/service.out" ] && break
  kill -0 "$service_pid" 2>/dev/null || fail "the district service did not start: $(cat "$work/service.err")"
  sleep 0.1
done
[ "$(head -n 1 "$work/service.out")" = "$port" ] || fail "the district service is not on port $port"
wine "$trust_root" "$(winpath "$work/ca/ca.pem")" || fail "the test CA was not trusted"
# Stops the service, which then writes down the requests it got.
stop_service() {
  kill "$service_pid" 2>/dev/null || true
  wait "$service_pid" 2>/dev/null || true
  service_pid=
}

# Starts Telvora.exe in its folder; sets app_pid (the Wine process of it, its output in
# wine.log, so that nothing of it holds the test's output open) and wid (its X window: the
# client area).
start_program() {
  (cd "$win/bin" && exec wine Telvora.exe) >>"$work/wine.log" 2>&1 &
  app_pid=$!
  wid=$(timeout 120 xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1) ||
    fail "the window did not appear"
  sleep 1  # its first paint
  read_geometry
}
read_geometry() {
  local info
  info=$(xwininfo -id "$wid")
  X=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  Y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  W=$(awk '/Width:/ {print $2}' <<<"$info")
  H=$(awk '/Height:/ {print $2}' <<<"$info")
}
# Closes the window as a user does and waits for the program's end; its exit code must be 0.
close_program() {
  xdotool windowactivate --sync "$wid" 2>/dev/null || true
  xdotool key --clearmodifiers alt+F4
  for _ in $(seq 1 300); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.2
  done
  kill -0 "$app_pid" 2>/dev/null && fail "Telvora.exe did not end after Alt+F4"
  local code=0
  wait "$app_pid" || code=$?
  app_pid=
  [ "$code" = 0 ] || fail "exit code $code, not 0"
}
click() {
  xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1
  sleep 0.7 # past the double-click time: each click stands alone
}
key() {
  xdotool key "$@"
  sleep 0.3
}
# The client area of window $wid, as the screen shows it, into $1.
capture() {
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "${W}x${H}+${X}+${Y}" +repage "$1"
}
count_credits() {
  sqlite3 "$win/logger/db/awards.mdb" 'SELECT count(*) FROM Avtozachet'
}

step "start: both lists from the generator's files through ODBC"
start_program
[ "$W" = 373 ] && [ "$H" = 205 ] || fail "client area ${W}x${H}, not 373x205"
first_x=$X first_y=$Y
capture "$work/win32-start.png"
before=$(count_credits)

step "input: callsign, every log ticked, the first award, Upload log"
click 80 34 # Edit1
xdotool type --delay 80 q9test
click 300 32 # the first log's name: selected
key space    # ticked
key Down
key space
key Down
key space
click 60 74 # RxDBLookupCombo2: the drop-down opens
key Escape
key Down # the first award
click 180 167 # Upload log
for _ in $(seq 1 300); do
  [ -s "$work/notepad-request.txt" ] && break
  sleep 0.2
done
[ -s "$work/notepad-request.txt" ] || fail "no request to open the error list in Notepad"
sleep 0.5
capture "$work/win32-after.png"

step "the run: one download, credits, ErrorList.txt, Notepad asked to open it"
stop_service
grep -qx '/csv?call=Q9TEST' "$work/requests.txt" ||
  fail "requests: $(cat "$work/requests.txt")"
[ "$(wc -l <"$work/requests.txt")" = 1 ] || fail "more than one download: $(cat "$work/requests.txt")"
after=$(count_credits)
[ "$after" -gt "$before" ] || fail "no credits appended ($before before, $after after)"
errors="$win/bin/ErrorList.txt"
[ -s "$errors" ] || fail "no ErrorList.txt beside the program"
[ "$(wc -l <"$errors")" -lt "$(wc -l <"$list")" ] || fail "every entry in the error list"
# The recorder's line: the file it was started from, a tab, its arguments.
request=$(tr -d '\r' <"$work/notepad-request.txt")
started=${request%%$'\t'*} arguments=${request#*$'\t'}
expected=$(winpath "$win/bin/ErrorList.txt")
[ "${arguments,,}" = "${expected,,}" ] || fail "Notepad asked for '$arguments', not '$expected'"
case "${started,,}" in
  'c:\windows\system32\notepad.exe' | 'c:\windows\syswow64\notepad.exe') ;;
  *) fail "the shell started '$started', not the system folder's Notepad" ;;
esac
echo "credits $before -> $after, error list $(wc -l <"$errors") lines, Notepad: $request"
# Telvora.exe reached the Access driver's stand-in through the wide functions, as on Windows:
# every statement it received came through SQLPrepareW ("<function>\t<text>\0" records).
for db in logs awards; do
  record="$win/logger/db/$db.mdb.statements"
  [ -s "$record" ] || fail "the Access test driver received no statement on $db.mdb"
  functions=$(tr '\0' '\n' <"$record" | sed -n 's/^\(SQL[A-Za-z]*\)\t.*/\1/p' | sort -u)
  [ "$functions" = SQLPrepareW ] || fail "$db.mdb: statements through $functions"
done

step "close: exit code 0, Telvora.ini saved"
close_program
ini="$win/bin/Telvora.ini"
tr -d '\r' <"$ini" >"$work/ini.txt"
grep -qx 'Edit1_Text=Q9TEST' "$work/ini.txt" || fail "callsign not saved: $(cat "$work/ini.txt")"
normpos=$(sed -n 's/^NormPos=//p' "$work/ini.txt")
IFS=, read -r left top right bottom <<<"$normpos"
[ "$left,$top" = "439,274" ] || fail "first place $left,$top, not 439,274"

step "restore: an edited Telvora.ini gives the place and the callsign of the next start"
shift_x=-239 shift_y=-124
# (both the plain place and the one kept for this screen size, which comes first)
sed -i -e "s/^\(NormPos[^=]*\)=.*/\1=$((left + shift_x)),$((top + shift_y)),$((right + shift_x)),$((bottom + shift_y))\r/" \
  -e 's/^Edit1_Text=.*/Edit1_Text=UA1ABC\r/' "$ini"
start_program
[ "$X,$Y" = "$((first_x + shift_x)),$((first_y + shift_y))" ] ||
  fail "restored at $X,$Y, not $((first_x + shift_x)),$((first_y + shift_y))"
close_program
grep -q $'^Edit1_Text=UA1ABC\r$' "$ini" || fail "callsign not restored: $(cat "$ini")"

step "pixels: the gradient and the progress bar against the Linux Qt window"
install_path="$work/linux/logger/"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n"InstallPath"="%s"\r\n' \
  "$install_path" >"$work/linux/config/telvora/HKEY_CURRENT_USER.reg"
(
  cd "$work/linux"
  unset QT_QPA_PLATFORM
  XDG_CONFIG_HOME="$work/linux/config" exec "$qt"
) >"$work/linux/telvora.log" 2>&1 &
qt_pid=$!
wid=$(timeout 120 xdotool search --sync --onlyvisible --name "^$title\$" | head -n 1) ||
  fail "the Linux window did not appear"
sleep 1
read_geometry
capture "$work/linux-start.png"
kill "$qt_pid" 2>/dev/null || true
wait "$qt_pid" 2>/dev/null || true
qt_pid=

# Regions of the client area where only the panel or the bar is drawn: the panel's margins
# and free strips (no control, no label over them), and the bar on both sides of its text.
regions=(
  "8x186+0+0" "13x186+360+0" "373x6+0+0" "62x119+153+6" "373x5+0+150"
  "140x25+8+125" "140x25+218+125"
)
for region in "${regions[@]}"; do
  convert "$work/win32-start.png" -crop "$region" +repage "$work/a.png"
  convert "$work/linux-start.png" -crop "$region" +repage "$work/b.png"
  differing=$(compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1 || true)
  [ "$differing" = 0 ] || fail "region $region: $differing pixels differ from the Linux window's"
done
echo "regions ${regions[*]}: equal pixels"
echo "PASS"
