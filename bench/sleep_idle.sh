#!/usr/bin/env bash
# Builds the Windows programs and runs the sleep-queue benchmark under Wine: the processor time the
# process and the queue thread use while a thread sleeps 10 s in 400 ms steps. Linux's own count
# for the whole Wine process (start-up included) is printed beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
  -DCMAKE_BUILD_TYPE=Release -DVORNIX_BUILD_BENCH=ON > /dev/null
cmake --build build-win --target sleep_idle_bench > /dev/null
source cmake/wine-env.sh
export WINEPREFIX=$PWD/build-win/wineprefix
wine_prefix_ready "$WINEPREFIX"
wineserver -k 2> /dev/null || true
xvfb-run -a bash -c '
  wineserver -p
  cmake/wine-run.sh "$WINEPREFIX" build-win/bench/sleep_idle_bench.exe > /dev/null  # a first run, not timed
  TIMEFORMAT="Linux, whole Wine process: %U s user, %S s system, %R s wall"
  time cmake/wine-run.sh "$WINEPREFIX" build-win/bench/sleep_idle_bench.exe
  wineserver -k'
