#!/usr/bin/env bash
# Builds and runs every test twice: a Release build with assertions, and a
# build under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
status=0
for config in release asan; do
  dir=build/test-$config
  if [ "$config" = release ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKZ_ASSERTS=ON >/dev/null
  else
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKZ_SANITIZE=ON >/dev/null
  fi
  cmake --build "$dir"
  echo "== tests: $config =="
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" || status=1
done
exit $status
