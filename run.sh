#!/usr/bin/env bash
# Installs what is missing, builds Tarnwick and starts it on the demo instance folder.
# Arguments are passed on to the robot (for example --headless or --once).
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF
cmake --build build -j"$(nproc)" --target tarnwick
DEMO_HOME="${TARNWICK_HOME:-$PWD/demo}"
mkdir -p "$DEMO_HOME"
echo "Starting Tarnwick on the instance folder $DEMO_HOME"
exec ./build/tarnwick --home "$DEMO_HOME" "$@"
