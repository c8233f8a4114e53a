#!/usr/bin/env bash
# Installs the Debian packages and locales Telvora needs, when any is missing.
#   scripts/install-deps.sh [GROUP...]     groups: build test gui fuzz package windows release
#                                           (default: all)
# Each script asks for what it needs: scripts/run.sh for build and gui only, so running the
# program pulls in neither the test tools nor clang nor Wine.
# As root it installs them itself, otherwise through sudo. Without either it says what to run
# as root and fails.
set -euo pipefail

# ---- what each group needs ----
# build: compile Telvora and its tools (Qt, libcurl, SQLite, ODBC, cpp-httplib, OpenSSL).
build_packages=(
  build-essential cmake pkg-config git
  qt6-base-dev libgl-dev
  libcurl4-openssl-dev libsqlite3-dev unixodbc-dev libssl-dev openssl ca-certificates
  libcpp-httplib-dev
)
# test: build and run the tests as CI does: GoogleTest, Xlib for the window manager test, the
# format check, SQLite's ODBC driver (the database tests run over ODBC too), the sqlite3 shell
# for looking into test databases, and the locales the tests run under (users live in them).
test_packages=(
  libgtest-dev libgmock-dev googletest libx11-dev
  clang-format libsqliteodbc sqlite3 locales
)
test_locales=(ru_RU.UTF-8 de_DE.UTF-8)
# gui: the window on a real X server with a window manager (tests, screenshots), the fonts
# that stand in for the described ones, the desktop's "open".
gui_packages=(
  xvfb xauth x11-utils openbox xdotool imagemagick xdg-utils
  fonts-dejavu-core fonts-liberation
)
# fuzz: the libFuzzer targets (clang with its sanitizer runtime).
fuzz_packages=(
  clang libclang-rt-14-dev
)
# package: the install check (scripts/test-install.sh): the validators of the desktop entry and
# the AppStream metainfo, dpkg-shlibdeps for the Debian package's dependencies.
package_packages=(
  desktop-file-utils appstream dpkg-dev
)
# windows: the cross build (MinGW-w64 for 32-bit Windows, posix threads; GoogleTest's sources
# to build with it) and Wine to run its tests; the 32-bit SQLite ODBC driver that the database
# tests reach through Wine's odbc32 and the host's unixODBC, and the multilib compiler that
# builds the Access driver's stand-in over it for i386. The :i386 packages need the i386
# architecture, which is added first. On a host whose kernel runs no 32-bit code the suite runs a
# 64-bit build under 64-bit Wine: the x86_64 MinGW-w64 and wine64 serve it.
windows_packages=(
  g++-mingw-w64-i686-posix googletest wine wine32:i386 g++-multilib
  libsqliteodbc:i386 libodbcinst2:i386 libodbc2:i386
  g++-mingw-w64-x86-64-posix wine64
)
# release: what scripts/release.sh needs beside build: the cross compiler alone (the zip is
# made without Wine), and file, which cpack's Debian generator runs to find the binaries whose
# libraries dpkg-shlibdeps turns into the package's dependencies.
release_packages=(
  g++-mingw-w64-i686-posix file
)

# ---- choosing ----
groups=("$@")
if [ ${#groups[@]} -eq 0 ]; then
  groups=(build test gui fuzz package windows release)
fi
packages=()
locales=()
for group in "${groups[@]}"; do
  case "$group" in
    build) packages+=("${build_packages[@]}") ;;
    test) packages+=("${test_packages[@]}") locales+=("${test_locales[@]}") ;;
    gui) packages+=("${gui_packages[@]}") ;;
    fuzz) packages+=("${fuzz_packages[@]}") ;;
    package) packages+=("${package_packages[@]}") ;;
    windows) packages+=("${windows_packages[@]}") ;;
    release) packages+=("${release_packages[@]}") ;;
    *)
      echo "install-deps.sh: unknown group '$group' (groups: build test gui fuzz package windows release)" >&2
      exit 2
      ;;
  esac
done

# ---- what is missing ----
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# `locale -a` spells ru_RU.UTF-8 as ru_RU.utf8.
have_locale() {
  locale -a 2>/dev/null | grep -qix "${1%%.*}.utf8"
}
missing_locales=()
for l in "${locales[@]}"; do
  if ! have_locale "$l"; then
    missing_locales+=("$l")
  fi
done

if [ ${#missing[@]} -eq 0 ] && [ ${#missing_locales[@]} -eq 0 ]; then
  exit 0
fi

# ---- the commands, run as root ----
apt_line="apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ${missing[*]}"
# Packages of another architecture (wine32:i386) need that architecture first.
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  apt_line="dpkg --add-architecture i386 && $apt_line"
fi
# Debian generates the locales listed in /etc/locale.gen; listing them there keeps them when
# locale-gen runs again later.
locale_line=""
# shellcheck disable=SC2016  # $l belongs to the command, expanded where it runs
if [ ${#missing_locales[@]} -gt 0 ]; then
  locale_line="for l in ${missing_locales[*]}; do"
  locale_line+=' sed -i -E "s/^# *($l UTF-8)$/\1/" /etc/locale.gen;'
  locale_line+=' grep -qx "$l UTF-8" /etc/locale.gen || echo "$l UTF-8" >>/etc/locale.gen;'
  locale_line+=' done && locale-gen'
fi
commands=()
if [ ${#missing[@]} -gt 0 ]; then
  commands+=("$apt_line")
fi
if [ -n "$locale_line" ]; then
  commands+=("$locale_line")
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=(bash -c)
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo bash -c)
else
  {
    if [ ${#missing[@]} -gt 0 ]; then
      echo "install-deps.sh: missing packages: ${missing[*]}"
    fi
    if [ ${#missing_locales[@]} -gt 0 ]; then
      echo "install-deps.sh: missing locales: ${missing_locales[*]}"
    fi
    echo "There is no sudo here. Run this as root (e.g. after 'su -'), then run the script again:"
    for c in "${commands[@]}"; do
      echo "  $c"
    done
  } >&2
  exit 1
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
fi
if [ ${#missing_locales[@]} -gt 0 ]; then
  echo "Generating locales: ${missing_locales[*]}"
fi
for c in "${commands[@]}"; do
  "${as_root[@]}" "$c"
done
