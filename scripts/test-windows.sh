#!/usr/bin/env bash
# Cross-compiles the Windows build (MinGW-w64 i686, static, stripped) into build-win and runs its
# tests under Wine, in the prefix build-win/wineprefix, on one Xvfb display with one persistent
# wineserver for the whole run (a wineserver keeps the display it was started with), with the fonts
# the project chooses (cmake/wine-env.sh).
# VORNIX_WIN_BUILD names another build folder, so that two runs can go on side by side.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VORNIX_WIN_BUILD:-build-win}
# The native vornix program (VORNIX_NATIVE_TOOL, by default the one of build/) adds the test that
# compares its packages with the Windows program's.
native_tool=${VORNIX_NATIVE_TOOL:-$PWD/build/tools/vornix}
native=()
if [ -x "$native_tool" ]; then native=(-DVORNIX_NATIVE_TOOL="$native_tool"); fi

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
  -DCMAKE_BUILD_TYPE=Release -DVORNIX_BUILD_BENCH=ON "${native[@]}" > /dev/null
cmake --build "$build"

source cmake/wine-env.sh
export WINEPREFIX=$PWD/$build/wineprefix
wineserver -k 2> /dev/null || true
wine_prefix_ready "$WINEPREFIX"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  wineserver -p
  status=0
  (cd "$0" && ctest --output-on-failure "$@") || status=$?
  wineserver -k
  exit $status' "$build" "$@"
