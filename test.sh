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
    -DLUMRA_WERROR="$werror" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

# Under CI: every source formatted as .clang-format says, and clang-tidy (.clang-tidy) on the
# sources the last commit changed. LUMRA_TIDY_ALL=1 looks at every source instead.
if [ "$werror" = ON ] && git rev-parse --verify -q HEAD~1 >/dev/null 2>&1; then
    git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
    if [ "${LUMRA_TIDY_ALL:-}" = 1 ]; then
        tidy=$(git ls-files 'src/*.cpp' 'tests/*.cpp' 'bench/*.cpp')
    else
        tidy=$(git diff --name-only --diff-filter=d HEAD~1 -- 'src/*.cpp' 'tests/*.cpp' 'bench/*.cpp')
    fi
    # The Windows half is checked by its own cross-build; the fuzz targets need clang's flags.
    tidy=$(grep -v -e '_win\.cpp$' -e '^tests/fuzz/' <<<"$tidy" || true)
    if [ -n "$tidy" ]; then
        xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet <<<"$tidy"
    fi
fi
export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"

# The Windows half of the operating-system layer: the same contract tests cross-built with
# mingw-w64 against it, and run under Wine in a prefix of their own under the build folder,
# with no display (Debian's wine64 keeps its loader off the PATH).
windows=build-windows # the windows-mingw preset's folder
cmake --preset windows-mingw -DLUMRA_WERROR="$werror" -Wno-dev >/dev/null
cmake --build --preset windows-mingw -j "$(nproc)"
WINEPREFIX="$PWD/$windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    DISPLAY= /usr/lib/wine/wine64 "$windows/tests/contract/contract_system.exe"
tests/fuzz/run.sh 5
