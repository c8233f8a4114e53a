#!/usr/bin/env bash
# The Windows build's tests, as CI runs them after the Linux ones: installs what is missing,
# builds the windows preset (MinGW-w64, i686, build-windows/) and runs its CTest suite under Wine,
# in a throwaway prefix that is removed afterwards (its wineserver stopped by that prefix).
# On a host whose kernel runs no 32-bit code (and so no 32-bit Wine), the same sources and tests
# are built for 64-bit Windows instead (preset windows64) and run under 64-bit Wine.
#   scripts/test-windows.sh [ctest arguments...]     e.g. scripts/test-windows.sh -L platform
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=$(nproc)

"$top/scripts/install-deps.sh" build test gui windows

# Wine's programs are of the host's kinds: 32-bit Windows programs need 32-bit Wine, which a
# kernel without 32-bit support (some virtual machines) cannot start ("Exec format error").
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  preset=windows
  multiarch=i386-linux-gnu
  build=build-windows
else
  preset=windows64
  multiarch=x86_64-linux-gnu
  build=build-windows64
  echo "== windows: this host's kernel runs no 32-bit code: the tests run the same sources built"
  echo "   for 64-bit Windows (preset windows64) under 64-bit Wine"
fi

# The tools the Windows tests use from the host: the district-list service (HTTPS on loopback),
# the sample-logger generator and the Linux build's credit run run natively, beside the tests
# under Wine; the Linux Qt program, whose pixels the end-to-end check compares; the Access
# driver's stand-in for a 64-bit Wine.
echo "== windows: the host's tools (preset ci)"
cmake --preset ci >/dev/null
cmake --build --preset ci -j "$jobs" --target telvora-district-service telvora-sample-logger \
  telvora-credit-run telvora telvora-access-test
access_driver="$top/build-ci/tools/access_test_driver/libtelvora-access-test.so"

if [ "$preset" = windows ]; then
  # The Access driver's stand-in for the host's 32-bit driver manager, which Wine's odbc32 calls.
  echo "== windows: the Access test driver for i386"
  cmake -S tools/access_test_driver -B build-access-i386 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS=-m32 -DCMAKE_MODULE_LINKER_FLAGS=-m32 \
    -DTELVORA_LIBRARY_ARCHITECTURE=i386-linux-gnu >/dev/null
  cmake --build build-access-i386 -j "$jobs"
  access_driver="$top/build-access-i386/libtelvora-access-test.so"
fi

echo "== windows: configure, build (preset $preset)"
cmake --preset "$preset" -DTELVORA_HOST_TOOLS_DIR="$top/build-ci/bin" >/dev/null
cmake --build --preset "$preset" -j "$jobs"

prefix=$(mktemp -d "${TMPDIR:-/tmp}/telvora-wine-XXXXXX")
xvfb_pid=
openbox_pid=
cleanup() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  [ -z "$openbox_pid" ] || kill "$openbox_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$prefix"
}
trap cleanup EXIT
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
if [ "$preset" = windows64 ]; then
  # Debian's wine (and wineboot through wine-stable) starts the 32-bit loader whenever it is
  # installed: here every Wine command is the 64-bit one.
  mkdir "$prefix/bin"
  for command in wine wine-stable; do
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$prefix/bin/$command"
    chmod +x "$prefix/bin/$command"
  done
  export PATH="$prefix/bin:$PATH"
  export WINELOADER=/usr/lib/wine/wine64
fi
# No Mono or Gecko: the prefix is made without asking to download them.
export WINEDLLOVERRIDES="mscoree=;mshtml="
# Wine takes the user's locale (numbers, dates, code page) from the environment it starts in:
# one the suite fixes, whatever the calling desktop's is; a test that needs another sets LANG.
unset LC_ALL LC_CTYPE LC_NUMERIC LC_TIME LC_COLLATE LC_MONETARY LC_MESSAGES
export LANG=C.UTF-8

# The Win32 shell's tests show real windows: on an X server of this run's own (Xvfb, on a free
# display) with the openbox window manager, never on the user's display.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$prefix/display" >"$prefix/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s "$prefix/display" ] && break
  sleep 0.1
done
export DISPLAY=":$(cat "$prefix/display")"
openbox >"$prefix/openbox.log" 2>&1 &
openbox_pid=$!

echo "== windows: a Wine prefix in $prefix"
# One wineserver for the whole run, rather than one started and stopped for every test.
wineserver --persistent
# Plain wineboot waits for the prefix's own set-up, which Wine's first process has started
# already. "wineboot --init" would start a second service manager beside it; with two answering,
# RpcSs never starts, and every window test's explorer.exe then waits 10 s for it, twice.
wineboot >/dev/null 2>&1
# A program that crashes ends at once, as it would for CTest anywhere, instead of waiting in
# Wine's crash dialog until the test's time-out.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1

# The database tests reach SQLite files through Wine's odbc32, the host's unixODBC and two 32-bit
# drivers, registered for this run only (unixODBC reads $ODBCSYSINI/odbcinst.ini; the host's
# libraries read the environment Wine starts in): Debian's SQLite driver, and the stand-in for
# the Access driver over it, which Telvora.exe and the credit run use as they would the real one.
mkdir -p "$prefix/odbc"
{
  printf '[Telvora Test SQLite]\nDriver=/usr/lib/%s/odbc/libsqlite3odbc.so\n' "$multiarch"
  printf '[Telvora Test Access]\nDriver=%s\n' "$access_driver"
} >"$prefix/odbc/odbcinst.ini"
export ODBCSYSINI="$prefix/odbc"
export TELVORA_ODBC_DRIVER="Telvora Test Access"

# A user of the prefix's desktop for the whole run: its explorer.exe is started once, here,
# with its output in a log. Otherwise each window test's first window starts one, which
# inherits the test's output and keeps it open for the second wineserver waits before it closes
# a desktop without users, and CTest waits for that output to end.
wine "$build/tests/wine_desktop.exe" >"$prefix/desktop.log" 2>&1 &
for _ in $(seq 1 300); do
  grep -q ready "$prefix/desktop.log" 2>/dev/null && break
  sleep 0.1
done
grep -q ready "$prefix/desktop.log" ||
  { echo "test-windows.sh: the desktop did not start: $(cat "$prefix/desktop.log")" >&2; exit 1; }

# Twice as many tests as cores: a test under Wine spends most of its time waiting (Wine's
# process start, the loopback service, the download time-outs); the window tests still run one
# at a time (the lock wine_user). A Wine process now and then dies as it starts, before the test
# runs (no output at all, about one start in a thousand here): a failed test is run once more,
# and one that fails for a reason of its own fails again.
echo "== windows: test under Wine"
ctest --preset "$preset" -j "$((2 * jobs))" --repeat until-pass:2 "$@"

# The zip as a user gets it, made by scripts/release.sh (preset windows-release: optimised,
# stripped, no tests): unpacked into a folder of its own, Telvora.exe starts there, shows
# its window (which closes itself once shown), exits with 0 and keeps Telvora.ini beside it.
echo "== windows: the release zip, unpacked and started"
"$top/scripts/release.sh" windows >/dev/null
zip=$(ls build-windows-release/Telvora-*-win32.zip)
mkdir "$prefix/unpacked"
(cd "$prefix/unpacked" && cmake -E tar xf "$top/$zip")
folder=$(ls -d "$prefix"/unpacked/Telvora-*-win32)
[ -f "$folder/Telvora.exe" ] && [ -f "$folder/README.txt" ] ||
  { echo "test-windows.sh: the zip lacks Telvora.exe or README.txt" >&2; exit 1; }
if [ "$preset" = windows64 ]; then
  echo "   $(basename "$zip"): its files checked; the 32-bit Telvora.exe cannot start on this host"
  exit 0
fi
(cd "$folder" && TELVORA_TEST_CLOSE_AFTER_SHOW=1 TELVORA_TEST_MESSAGE_LOG="Z:$prefix/boxes.log" \
  wine Telvora.exe) || { echo "test-windows.sh: the unpacked Telvora.exe ended with $?" >&2; exit 1; }
[ -f "$folder/Telvora.ini" ] ||
  { echo "test-windows.sh: no Telvora.ini beside the unpacked Telvora.exe" >&2; exit 1; }
echo "   $(basename "$zip"): starts from its unpacked folder, exit code 0, Telvora.ini beside it"
