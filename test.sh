#!/usr/bin/env bash
# Installs what is missing, builds Tarnwick with its tests, and runs them all.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/setup.sh
# Every option the run depends on is set here, so a build folder configured otherwise before
# cannot leave tests out; ctest fails when it finds none.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_TESTS=ON -DTARNWICK_BENCH=ON -DTARNWICK_SANITIZE=OFF
cmake --build build -j"$(nproc)"
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j"$(nproc)" --timeout 600
