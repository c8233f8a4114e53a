#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (preset fuzz, build-fuzz/) and runs each for a given
# number of seconds.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     (default 60 s for each of fuzz/*_fuzz.cpp)
#   e.g. scripts/fuzz.sh 60 registry_fuzz profile_fuzz
# The seeds in fuzz/corpus/<target>/ are copied to a scratch corpus, so the repository is
# never written to. Inputs that crash land in <build>/fuzz/artifacts/. Exits non-zero when
# any target found a crash.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build=${TELVORA_FUZZ_BUILD_DIR:-$top/build-fuzz}

"$top/scripts/install-deps.sh" build fuzz
(cd "$top" && cmake --preset fuzz -B "$build" >/dev/null)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in "$top"/fuzz/*_fuzz.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

artifacts="$build/fuzz/artifacts"
mkdir -p "$artifacts"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=()
for target in "${targets[@]}"; do
  corpus="$scratch/$target"
  mkdir -p "$corpus"
  if [ -d "$top/fuzz/corpus/$target" ]; then
    cp "$top/fuzz/corpus/$target"/* "$corpus/" 2>/dev/null || true
  fi
  echo "== $target: ${seconds}s"
  if "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$artifacts/$target-" "$corpus" >"$scratch/$target.log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$scratch/$target.log" || true
    echo "   no crash"
  else
    tail -n 40 "$scratch/$target.log"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Crashes in: ${failed[*]} (inputs in $artifacts)"
  exit 1
fi
echo "All fuzz targets ran ${seconds}s without a crash."
