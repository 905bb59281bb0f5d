#!/usr/bin/env bash
# Builds the Windows programs and runs the sleep-queue benchmark under Wine, in each lane the host
# runs (cmake/wine-env.sh): the processor time the
# process and the queue thread use while a thread sleeps 10 s in 400 ms steps. Linux's own count
# for the whole Wine process (start-up included) is printed beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
source cmake/wine-env.sh
wine_say_lanes "sleep-queue benchmark"
for lane in $VORNIX_WINE_LANES; do
  wine_lane $lane
  wine_lane_build $lane build-win
  cmake --no-warn-unused-cli -S . -B $lane_build -G Ninja -DCMAKE_TOOLCHAIN_FILE=$lane_toolchain \
    -DCMAKE_BUILD_TYPE=Release -DVORNIX_BUILD_BENCH=ON > /dev/null
  cmake --build $lane_build --target sleep_idle_bench > /dev/null
  echo "== $lane lane"
  export WINEPREFIX=$PWD/$lane_build/wineprefix
  wine_prefix_ready "$WINEPREFIX"
  wineserver -k 2> /dev/null || true
  xvfb-run -a bash -c '
    wineserver -p
    cmake/wine-run.sh $VORNIX_WINE_LANE "$WINEPREFIX" $0/bench/sleep_idle_bench.exe > /dev/null  # a first run, not timed
    TIMEFORMAT="Linux, whole Wine process: %U s user, %S s system, %R s wall"
    time cmake/wine-run.sh $VORNIX_WINE_LANE "$WINEPREFIX" $0/bench/sleep_idle_bench.exe
    wineserver -k' $lane_build
done
