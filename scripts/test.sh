#!/usr/bin/env bash
# What CI runs (.ci/run calls it): installs what is missing, checks the formatting of every
# tracked C++ file, builds everything with warnings as errors (preset ci, build-ci/) and runs
# every test, then builds the Qt-free parts with the address and undefined-behaviour
# sanitizers (preset asan, build-asan/) and runs their tests once more, installs the release build
# as users do (scripts/test-install.sh), then builds the Windows cross build and runs its tests
# under Wine (scripts/test-windows.sh).
#   scripts/test.sh [ctest arguments...]     e.g. scripts/test.sh -R Registry
# The arguments go to every ctest run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=$(nproc)

"$top/scripts/install-deps.sh"

echo "== format (clang-format --dry-run --Werror)"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -d '' sources < <(git ls-files -z -- '*.cpp' '*.h')
else
  mapfile -d '' sources < <(find src tests tools bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0)
fi
if ! clang-format --dry-run --Werror "${sources[@]}"; then
  echo "Formatting differs from .clang-format; fix it with: clang-format -i <files above>" >&2
  exit 1
fi

for preset in ci asan; do
  echo "== $preset: configure, build, test"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs" "$@"
done

# Installed as users install it (needs root, as CI runs): cmake --install, the .deb with apt.
if [ "$(id -u)" -eq 0 ]; then
  "$top/scripts/test-install.sh"
else
  echo "== install: skipped (scripts/test-install.sh needs root)"
fi

"$top/scripts/test-windows.sh" "$@"
