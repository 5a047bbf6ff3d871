#!/usr/bin/env bash
# Runs every libFuzzer target for a longer time (FUZZ_SECONDS per target,
# default 600) with the library built under AddressSanitizer and
# UndefinedBehaviorSanitizer, then minimises what it found into the seed
# corpus of the repository (fuzz/<area>/corpus), so that new coverage is kept
# as seeds. A crash stops with the reproducer's path; turn it into a
# regression seed and a test.
#   FUZZ_SECONDS=600 FUZZ_TARGETS="jsonReaderFuzzer" scripts/fuzz-long.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-600}
only=${FUZZ_TARGETS:-}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTREL_BUILD_FUZZ=ON -DKESTREL_BUILD_TESTS=OFF -DKESTREL_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build" -j2
status=0
for area in fuzz/*/; do
  area=${area%/}
  for target in "$build/$area"/*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=$(basename "$target")
    if [ -n "$only" ] && ! grep -qw "$name" <<<"$only"; then continue; fi
    work=$build/long/$name
    # The target's own seeds (corpus/<target>) or those of its area.
    seeds=$area/corpus
    [ -d "$area/corpus/$name" ] && seeds=$area/corpus/$name
    mkdir -p "$work/corpus" "$work/artifacts" "$seeds"
    echo "fuzzing $name for ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 -print_final_stats=1 \
         -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds" >"$work/run.log" 2>&1; then
      tail -n 40 "$work/run.log"
      echo "$name: a finding is in $work/artifacts/"
      status=1
      continue
    fi
    grep -E 'stat::number_of_executed_units|cov: ' "$work/run.log" | tail -n 2 || true
    # Keep only inputs that reach code the repository's seeds do not (edges,
    # not hit counts: the seeds stay few).
    "$target" -merge=1 -use_counters=0 "$seeds" "$work/corpus" >"$work/merge.log" 2>&1 || true
    echo "$name: $(ls "$seeds" | wc -l) seeds in $seeds"
  done
done
exit $status
