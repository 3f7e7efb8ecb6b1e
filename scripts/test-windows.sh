#!/usr/bin/env bash
# Cross-builds the Windows targets with mingw-w64 and runs their tests under Wine, headless.
# Usage: scripts/test-windows.sh [build-dir]   (default build-win)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
start=$SECONDS
scripts/install-deps.sh --windows
build=${1:-build-win}
toolchain=$root/cmake/mingw-w64-x86_64.cmake
jobs=$(nproc)
((jobs > 2)) && jobs=2

# GoogleTest from Debian's sources, built once with the same toolchain into the build tree.
gtest_prefix=$root/$build/gtest
if [[ ! -f $gtest_prefix/lib/cmake/GTest/GTestConfig.cmake ]]; then
    echo "== Building GoogleTest for Windows"
    cmake -S /usr/src/googletest -B "$build/gtest-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$gtest_prefix" \
        -DBUILD_GMOCK=ON >/dev/null
    cmake --build "$build/gtest-build" -j"$jobs" >/dev/null
    cmake --install "$build/gtest-build" >/dev/null
fi

echo "== Building the Windows targets"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DPELLMAR_BUILD_GUI=OFF -DPELLMAR_BUILD_BENCH=OFF \
    -DGTest_DIR="$gtest_prefix/lib/cmake/GTest" >/dev/null
cmake --build "$build" -j"$jobs"
built=$SECONDS

# A fresh Wine prefix, its server and its start-up done before ctest: Wine's helper processes
# would otherwise hold ctest's output pipe open and the run would never end.
export WINEDEBUG=-all
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/pellmar-wine.XXXXXX")
export WINEPREFIX
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wineserver -p >/dev/null 2>&1 </dev/null
"$wine64" wineboot --init >/dev/null 2>&1 </dev/null
booted=$SECONDS

echo "== Windows tests under Wine"
cd "$build"
set +e
ctest --output-on-failure --no-tests=error -j"$jobs" 2>&1 | tee ctest.log
status=${PIPESTATUS[0]}
set -e
summary=$(grep -E "tests passed, [0-9]+ tests failed out of" ctest.log | tail -1)
echo "== Windows tests: ${summary:-no summary} (build $((built - start)) s, Wine start" \
    "$((booted - built)) s, tests $((SECONDS - booted)) s, total $((SECONDS - start)) s)"
exit "$status"
