#!/usr/bin/env bash
# Telvora as a user installs it, as CI checks it after the other suites: the release build
# installed with `cmake --install` into a prefix the user cannot write and run there as a normal
# user, then the Debian package (cpack) installed with apt, run the same way and removed again.
# Each run: no message box at all (the logger's files are found, Telvora.ini is written), the
# settings kept in the user's own folder and restored at the next start, exit code 0.
# Needs root (a user to run as, apt); without root it says so and stops.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=$(nproc)

if [ "$(id -u)" -ne 0 ]; then
  echo "test-install.sh: run as root: it adds a user to run Telvora as, and installs the package" >&2
  exit 1
fi
"$top/scripts/install-deps.sh" build test gui package

echo "== install: release build, the generator (preset ci)"
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs"
cmake --preset ci >/dev/null
cmake --build --preset ci -j "$jobs" --target telvora-sample-logger

work=$(mktemp -d "${TMPDIR:-/tmp}/telvora-install-XXXXXX")
user=telvora-check
cleanup() {
  if dpkg-query -W -f='${Status}' telvora 2>/dev/null | grep -q "install ok installed"; then
    apt-get remove -y -qq telvora >/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
if ! id "$user" >/dev/null 2>&1; then
  useradd --create-home --shell /usr/sbin/nologin "$user"
fi
home=$(getent passwd "$user" | cut -d: -f6)
runtime="$work/runtime"
mkdir -m 700 "$runtime"
chown "$user:" "$runtime"
rm -rf "$home/.config/telvora" "$home/.local/state/telvora"

# A logger installation of the user's, and the registry entry that points at it.
logger="$home/logger"
rm -rf "$logger"
"$top/build-ci/bin/telvora-sample-logger" --out "$logger" --logs 2 --contacts 50 >/dev/null
mkdir -p "$home/.config/telvora"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n"InstallPath"="%s/"\r\n' \
  "$logger" >"$home/.config/telvora/HKEY_CURRENT_USER.reg"
chown -R "$user:" "$logger" "$home/.config"

fail() {
  echo "test-install.sh: $*" >&2
  exit 1
}

# Runs the installed program once as the user; it closes itself once shown.
run_as_user() {
  local program=$1 log=$work/boxes.log
  rm -f "$log"
  touch "$log"
  chown "$user:" "$log"
  runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 \
    XDG_RUNTIME_DIR="$runtime" \
    QT_QPA_PLATFORM=offscreen TELVORA_TEST_CLOSE_AFTER_SHOW=1 TELVORA_TEST_MESSAGE_LOG="$log" \
    "$program" || fail "$program ended with exit code $?"
  [ ! -s "$log" ] || fail "$program showed message boxes: $(cat "$log")"
}

check_installed() {
  local program=$1 ini="$home/.config/telvora/Telvora.ini"
  rm -f "$ini"
  run_as_user "$program"
  [ -f "$ini" ] || fail "no $ini after the first run of $program"
  [ ! -e "$(dirname "$program")/Telvora.ini" ] || fail "Telvora.ini written beside $program"
  # The next start restores what the file holds, and saves it back unchanged.
  sed -i 's/^\(NormPos[^=]*\)=.*/\1=120,160,0,0/; s/^Edit1_Text=.*/Edit1_Text=Q1ABC/' "$ini"
  run_as_user "$program"
  grep -q "^NormPos=120,160," "$ini" || fail "the position was not restored: $(cat "$ini")"
  grep -q "^Edit1_Text=Q1ABC" "$ini" || fail "the callsign was not restored: $(cat "$ini")"
  echo "   $program: runs as $user, keeps $ini, restores it"
}

echo "== install: cmake --install into a prefix $user cannot write"
prefix="$work/prefix"
cmake --install build-release --prefix "$prefix" >/dev/null
chmod -R go-w "$prefix"
chmod 755 "$work"
appstreamcli validate --no-net "$prefix/share/metainfo/org.telvora.Telvora.metainfo.xml" >/dev/null
desktop-file-validate "$prefix/share/applications/org.telvora.Telvora.desktop"
check_installed "$prefix/bin/telvora"

echo "== install: the Debian package with apt"
rm -f "$top"/build-release/telvora_*.deb
cpack --preset deb >/dev/null
deb=$(ls "$top"/build-release/telvora_*.deb)
apt-get install -y -qq "$deb" >/dev/null
check_installed /usr/bin/telvora
apt-get remove -y -qq telvora >/dev/null
echo "== install: passed"
