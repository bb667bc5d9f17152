#!/usr/bin/env bash
# Builds the benchmarks and prints one table: what was measured, the baseline measured in the
# same run beside it, the ratio and the target. Ratios, not times, are what to compare: the
# machine may be shared and noisy.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh >&2
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$(nproc)" --target load_analysis_bench edit_bench codec_bench hivelore_bench bin_load_bench >&2
log=build/bench.log
: > "$log"
for b in load_analysis_bench edit_bench codec_bench hivelore_bench bin_load_bench; do
  echo "== $b" >&2
  build/release/bench/$b --benchmark_min_time=0.5 >>"$log" 2>&1
done
cpu=$(grep -m1 "model name" /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
echo "Benchmarks of $(date -u +%Y-%m-%d) on $(nproc) cores of ${cpu:-an unknown CPU}, $(uname -sr)"
echo
echo "| measured | time | baseline | time | ratio | target |"
echo "|---|---|---|---|---|---|"
grep '^| ' "$log" | grep -v '^| measured '
