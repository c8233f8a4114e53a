#!/usr/bin/env bash
# Makes the files a user downloads from the project's releases, and prints their SHA-256 sums:
#   Telvora-<version>-win32.zip   Telvora.exe (optimised, stripped, no tests) and its README.txt,
#                                 from the windows-release preset (cpack --preset windows-zip)
#   telvora_<version>_amd64.deb   the Linux build (the demo and developers' build), from the
#                                 release preset (cpack --preset deb)
# Each is copied into dist/ (replacing an older one of its kind), with SHA256SUMS of what is there.
#
#   scripts/release.sh [windows] [deb]     default: both
#
# The district-list service's host is compiled in. TELVORA_SERVICE_HOST=host[:port] builds for
# another; without it the default of CMakeLists.txt applies, also over an earlier build's cache.
# Needs only the build and release groups of scripts/install-deps.sh: no test tools, no Wine.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

what=("$@")
if [ ${#what[@]} -eq 0 ]; then
  what=(windows deb)
fi
for w in "${what[@]}"; do
  case "$w" in
    windows | deb) ;;
    *)
      echo "release.sh: unknown file '$w' (windows, deb)" >&2
      exit 2
      ;;
  esac
done
jobs=$(nproc)

"$top/scripts/install-deps.sh" build release

# The host: the one asked for, else the default (removing the cached value brings it back).
if [ -n "${TELVORA_SERVICE_HOST:-}" ]; then
  host_arg=(-DTELVORA_SERVICE_HOST="$TELVORA_SERVICE_HOST")
else
  host_arg=(-UTELVORA_SERVICE_HOST)
fi

# A release Telvora.exe over this is one that debug sections or the tests slipped into.
max_exe_bytes=$((5 * 1024 * 1024))

files=()
for w in "${what[@]}"; do
  case "$w" in
    windows)
      build="build-windows-release"
      echo "== release: Telvora.exe (preset windows-release, $build/)"
      cmake --preset windows-release "${host_arg[@]}" >/dev/null
      cmake --build --preset windows-release -j "$jobs"
      exe="$build/bin/Telvora.exe"
      size=$(stat -c %s "$exe")
      if [ "$size" -ge "$max_exe_bytes" ]; then
        echo "release.sh: $exe is $size bytes, not under $max_exe_bytes" >&2
        exit 1
      fi
      if i686-w64-mingw32-objdump -h "$exe" | grep -q '\.debug'; then
        echo "release.sh: $exe carries debug sections; it should be stripped" >&2
        exit 1
      fi
      rm -f "$build"/Telvora-*-win32.zip dist/Telvora-*-win32.zip
      cpack --preset windows-zip >/dev/null
      files+=("$(ls "$build"/Telvora-*-win32.zip)")
      ;;
    deb)
      build="build-release"
      echo "== release: the Debian package (preset release, $build/)"
      cmake --preset release "${host_arg[@]}" >/dev/null
      cmake --build --preset release -j "$jobs"
      rm -f "$build"/telvora_*.deb dist/telvora_*.deb
      cpack --preset deb >/dev/null
      files+=("$(ls "$build"/telvora_*.deb)")
      ;;
  esac
  echo "   built for the district-list service at" \
    "$(sed -n 's/^TELVORA_SERVICE_HOST:STRING=//p' "$build/CMakeCache.txt")"
done

mkdir -p dist
cp "${files[@]}" dist/
echo "== release: dist/ (SHA-256)"
(cd dist && shopt -s nullglob && sha256sum Telvora-*-win32.zip telvora_*.deb | tee SHA256SUMS)
