#!/usr/bin/env bash
# Builds Lumra with optimisation and runs the benchmarks: time to picture for big pictures,
# the picture list of a huge folder, and peak memory, each against its baseline of the same
# run. Arguments go to the benchmark program (for example --benchmark_repetitions=15).
set -euo pipefail
cd "$(dirname "$0")"
bash tools/deps.sh bench

build=build-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMRA_BENCH=ON -DBUILD_TESTING=OFF \
    >/dev/null
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
exec "$build/bench/lumra_bench" "$@"
