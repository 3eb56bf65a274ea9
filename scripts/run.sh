#!/usr/bin/env bash
# The main job: builds the Release library and the command-line solver and
# solves the bundled example model.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKZ_TESTS=OFF >/dev/null
cmake --build build/release
./build/release/tools/kz examples/plant.mps
