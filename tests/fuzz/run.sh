#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, address and undefined-behaviour sanitizers) in
# build-fuzz and runs each in turn over a copy of its corpus, so that a run never changes the
# corpus kept in tests/fuzz/corpus.
#
#   tests/fuzz/run.sh [seconds] [target...]
#
# seconds: how long each target runs (default 300). Targets: commandline profile creg options
# pictureloader (default all). LUMRA_FUZZ_RUNS=n stops each target after n executions
# instead. A finding stops the run; its input is left in build-fuzz/fuzz-run/ (a crash-*,
# leak-*, timeout-* or oom-* file), and running the target on that file alone repeats it.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root"

seconds="${1:-300}"
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=(commandline profile creg options pictureloader)
fi

build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLUMRA_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

# Qt reads file times as local time; a fixed zone spares it a look at the zone file per call.
export TZ=UTC
export ASAN_OPTIONS="${ASAN_OPTIONS:-malloc_context_size=10:max_malloc_fill_size=0}"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

limit=(-max_total_time="$seconds")
work="$build/fuzz-run/$seconds-seconds"
if [ -n "${LUMRA_FUZZ_RUNS:-}" ]; then
    # A long count runs in worker processes, one a core, each started afresh every few
    # minutes (libFuzzer's fork mode); any finding of any kind still stops the run.
    limit=(-runs="$LUMRA_FUZZ_RUNS" -fork="$(nproc)" -ignore_crashes=0 -ignore_ooms=0
        -ignore_timeouts=0)
    work="$build/fuzz-run/$LUMRA_FUZZ_RUNS-runs"
fi
mkdir -p "$work"

status=0
for target in "${targets[@]}"; do
    corpus="$work/$target"
    rm -rf "$corpus"
    mkdir -p "$corpus"
    cp -r "tests/fuzz/corpus/$target/." "$corpus"
    flags=(-rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$work/$target-")
    case "$target" in
    # Qt keeps caches (settings files, image plugins) that make every input look like a
    # possible leak; checking for one after each input would cost more than the input. Leaks
    # are still looked for when the run ends.
    creg | options | pictureloader) flags+=(-detect_leaks=0) ;;
    esac
    case "$target" in
    # A picture is decoded within its budget of 256 MiB whatever the file claims, and quickly.
    # Beside the budget the process holds the address sanitizer's shadow of it (an eighth),
    # the sanitizer's quarantine of freed memory, kept to 64 MiB here, and the harness: Qt
    # and libFuzzer with its corpus, 49 MiB at the start and a few tens more as the corpus
    # grows. The limit is on the process's peak, so one input at the budget after a full
    # quarantine must fit. No input may take 2 seconds.
    pictureloader) flags+=(-malloc_limit_mb=256 -rss_limit_mb=$((256 + 32 + 64 + 96)) -timeout=2) ;;
    # Nothing else needs much memory: one big allocation is a finding.
    *) flags+=(-malloc_limit_mb=256) ;;
    esac
    log="$work/$target.log"
    options=$ASAN_OPTIONS
    # The memory a decode frees goes back to the system within a second, so the process's
    # size is what the decodes hold more than what the allocator kept from earlier ones.
    [ "$target" != pictureloader ] ||
        options+=:quarantine_size_mb=64:allocator_release_to_os_interval_ms=1000
    if ASAN_OPTIONS=$options nice "$build/tests/fuzz/fuzz_$target" "${flags[@]}" "${limit[@]}" \
        "$corpus" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
        if [ -z "$runs" ]; then # the fork mode's last line: "#<runs>: ... time: <seconds>s ..."
            runs=$(sed -n 's/^#\([0-9]*\): .*/\1/p' "$log" | tail -1)
            time=$(sed -n 's/^#[0-9]*: .* time: \([0-9]*\)s .*/\1/p' "$log" | tail -1)
            rate=$((runs / (time > 0 ? time : 1)))
        fi
        echo "fuzz $target: $runs executions ($rate per second), nothing found"
    else
        status=1
        echo "fuzz $target: FOUND A PROBLEM (log: $log)"
        grep -E '^(\*\*\*|SUMMARY|==[0-9]+==ERROR)' "$log" | head -20 || true
    fi
done
exit "$status"
