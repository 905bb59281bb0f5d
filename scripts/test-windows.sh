#!/usr/bin/env bash
# Cross-compiles the Windows build for each lane this host can run and runs its tests under Wine:
# the x86 lane (MinGW-w64 i686, the default stub) in build-win, the x64 lane (x86_64, the 64-bit
# stub) in build-win64; a host that runs no 32-bit program runs only the x64 lane and says so
# (cmake/wine-env.sh). Each lane has its own prefix (<build>/wineprefix), and runs on one Xvfb
# display with one persistent wineserver (a wineserver keeps the display it was started with),
# with the fonts the project chooses.
# usage: test-windows.sh [CTEST ARGS...]
#   VORNIX_WIN_LANES chooses lanes among those the host runs (default: all of them);
#   VORNIX_WIN_BUILD prefixes the build folders, so that two runs can go on side by side.
set -euo pipefail
cd "$(dirname "$0")/.."
source cmake/wine-env.sh
wine_host_lanes
# The native vornix program (VORNIX_NATIVE_TOOL, by default the one of build/) adds the test that
# compares its packages with the Windows program's.
native_tool=${VORNIX_NATIVE_TOOL:-$PWD/build/tools/vornix}
native=()
if [ -x "$native_tool" ]; then native=(-DVORNIX_NATIVE_TOOL="$native_tool"); fi

wine_say_lanes "Windows tests"
ran=()
for lane in ${VORNIX_WIN_LANES:-$VORNIX_WINE_LANES}; do
  wine_runs_lane "$lane" || continue
  wine_lane_build "$lane" "${VORNIX_WIN_BUILD:-build-win}"
  build=$lane_build
  echo "-- Windows tests, $lane lane ($build)"
  cmake --no-warn-unused-cli -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=$lane_toolchain -DCMAKE_BUILD_TYPE=Release \
    -DVORNIX_BUILD_BENCH=ON "${native[@]}" > /dev/null
  cmake --build "$build"

  wine_lane "$lane"
  export WINEPREFIX=$PWD/$build/wineprefix
  wineserver -k 2> /dev/null || true
  wine_prefix_ready "$WINEPREFIX"
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    wineserver -p
    status=0
    (cd "$0" && ctest --output-on-failure "$@") || status=$?
    wineserver -k
    exit $status' "$build" "$@"
  ran+=("$lane")
done
echo "Windows tests: lanes run: ${ran[*]}"
