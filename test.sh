#!/usr/bin/env bash
# Builds Lumra with the address and undefined-behaviour sanitizers and runs every test, then
# builds the fuzz targets with clang and runs each for a few seconds.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/deps.sh bench test

build=build-test
werror=OFF
if [ "${CI:-}" = "true" ]; then
    werror=ON
fi
# The benchmarks are built, so they keep compiling, but never run here: ./bench.sh runs them.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLUMRA_SANITIZE=ON -DLUMRA_BENCH=ON \
    -DLUMRA_WERROR="$werror" >/dev/null
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
tests/fuzz/run.sh 5
