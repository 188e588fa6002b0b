#!/usr/bin/env bash
# Runs the fuzz target over the filing of received messages for a while (default 300 s; not
# part of CI). With clang it is a libFuzzer run with AddressSanitizer and UBSan in the build
# folder build-fuzz; without clang the plain driver runs the seeds and generated messages.
# Usage: bench/gateway/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
RUN_SECONDS="${1:-300}"
SEEDS=bench/gateway/fuzz_seeds
if command -v clang++ >/dev/null 2>&1; then
  CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=ON \
    -DTARNWICK_FUZZ=ON >/dev/null
  cmake --build build-fuzz -j2 --target fuzz_gateway_filing
  CORPUS=build-fuzz/fuzz-corpus
  mkdir -p "$CORPUS"
  ./build-fuzz/bench/gateway/fuzz_gateway_filing -max_total_time="$RUN_SECONDS" -max_len=20000 -print_final_stats=1 \
    "$CORPUS" "$SEEDS"
else
  echo "clang++ not found: running the plain driver (no coverage guidance)"
  cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=ON >/dev/null
  cmake --build build-fuzz -j2 --target fuzz_gateway_filing
  ./build-fuzz/bench/gateway/fuzz_gateway_filing -max_total_time="$RUN_SECONDS" "$SEEDS"
fi
