#!/usr/bin/env bash
# Builds every libFuzzer target with clang and runs each for a short time
# (FUZZ_SECONDS, default 30) from its seed corpus in fuzz/<area>/corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-30}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTREL_BUILD_FUZZ=ON -DKESTREL_BUILD_TESTS=OFF -DKESTREL_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build" -j2
# The library's own objects must carry the sanitizers, not only the harnesses.
if [ "$(nm -A "$build/libkestrel_internal.a" 2>/dev/null | grep -c '__asan_report')" = 0 ]; then
  echo "the library objects of $build are not built with AddressSanitizer"
  exit 1
fi
status=0
for area in fuzz/*/; do
  area=${area%/}
  name=$(basename "$area")
  for target in "$build/$area"/*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    work=$build/corpus/$name/$(basename "$target")
    mkdir -p "$work"
    seeds=()
    options=()
    # Seeds of the target's own (corpus/<target>) or of the whole area.
    if [ -d "$area/corpus/$(basename "$target")" ]; then
      seeds=("$area/corpus/$(basename "$target")")
    elif [ -d "$area/corpus" ]; then
      seeds=("$area/corpus")
    fi
    [ -f "$area/$(basename "$target").dict" ] && options=("-dict=$area/$(basename "$target").dict")
    echo "fuzzing $(basename "$target") for ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 "${options[@]}" \
         "$work" "${seeds[@]}" >"$work.log" 2>&1; then
      tail -n 40 "$work.log"
      status=1
    else
      grep -E 'stat::number_of_executed_units' "$work.log" || true
    fi
  done
done
exit $status
