#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test.
#   scripts/test.sh [ctest arguments...]     e.g. scripts/test.sh -L logdb
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TELVORA_BUILD_DIR:-$top/build}

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
