#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for SECONDS (default 60), starting from seeds the project's builders make.
# Fails on the first crash, hang, leak or sanitizer report; a finding is saved as
# build/fuzz/crash-* (or leak-*, timeout-*) for a regression test.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]      TARGET: image module registry regtext codec
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(image module registry regtext codec)

build=build/fuzz
CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_SANITIZE=ON \
  -DTARNWICK_FUZZ=ON -DTARNWICK_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target make_fuzz_seeds $(printf 'fuzz_%s ' "${targets[@]}")
"$build"/tests/fuzz/make_fuzz_seeds "$build/seeds"
# The shared test vectors of both page codings join the codec seeds when they are there.
vectors=../shared/ce-rom-vectors
if [ -d "$vectors" ]; then
  for f in "$vectors"/*.rom "$vectors"/old/*.rom; do
    [ -f "$f" ] && cp "$f" "$build/seeds/codec/vector_$(basename "$(dirname "$f")")_$(basename "$f")"
  done
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  mkdir -p "$corpus"
  echo "== fuzz_$t for ${seconds}s"
  log="$build/fuzz_$t.log"
  if ! (cd "$build" && "tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 \
          -rss_limit_mb=4096 -print_final_stats=1 "corpus/$t" "seeds/$t") >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz: fuzz_$t found a problem (log: $log)"
    exit 1
  fi
  grep -a -E "^(stat::number_of_executed_units|stat::peak_rss_mb)" "$log" || tail -n 3 "$log"
done
echo "fuzz: every target ran ${seconds}s without a finding"
