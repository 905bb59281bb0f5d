#!/usr/bin/env bash
# Builds the Windows programs in build-win-bench (x86 lane) and build-win-bench64 (x64 lane) and, for
# each lane the host runs (cmake/wine-env.sh), runs the stub benchmark under Wine on Xvfb: the
# stub's size, how fast it unpacks the benchmark corpus (one entry and 253 entries, LZH and
# LZRW1/KH) beside the container's own decode speed, its processor time while the unpacked
# program runs, and what its sweep of dead runs' folders costs at its start. Then the native codec
# benchmark's figures for the same corpus, for comparison (built in build-win-bench/native;
# STUB_BENCH_NATIVE=0 skips them). Takes about three minutes.
# Usage: bench/stub_bench.sh [RUNS]   (RUNS per figure, default 3; CORPUS_DIR as for bench/run.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}

source bench/corpus.sh
corpus=$CORPUS
win_corpus="Z:${corpus//\//\\}"  # Wine maps / to drive Z:

source cmake/wine-env.sh
source bench/stub_bench_lane.sh
echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs); $(wine --version)"
wine_say_lanes "stub benchmark"
for lane in $VORNIX_WINE_LANES; do
  stub_bench_build $lane

  echo
  echo "== $lane lane: the $([ $lane = x86 ] && echo 32 || echo 64)-bit stub"
  echo "stub: $(cat "$build/app/vornix_stub.exe.size") bytes before padding ($build/app/vornix_stub.exe.size)"
  echo
  echo "\$ wine $build/bench/stub_bench.exe '$win_corpus' $runs   # WINEPREFIX=$build/wineprefix, on Xvfb"
  stub_bench_run "$win_corpus" "$runs"
  echo
  echo "\$ wine $build/bench/sweep_bench.exe 9   # the sweep of dead runs' folders at the stub's start"
  lane_bench_run sweep_bench.exe 9
done
build=build-win-bench

if [ "${STUB_BENCH_NATIVE:-1}" != 0 ]; then
  cmake -S . -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORNIX_BUILD_BENCH=ON \
    -DVORNIX_BUILD_TESTS=OFF > /dev/null
  ninja -C "$build/native" vornix_bench > /dev/null
  echo
  echo "\$ $build/native/bench/vornix_bench $corpus   # native, x86-64; the project's rows"
  # The table's header, the project's rows and their legend; not the peers, nor the goals.
  "$build/native/bench/vornix_bench" "$corpus" 2> /dev/null |
    grep -E '^(codec|LZRW1/KH blocks|LZH|container)[ :]' | grep -v ' / zlib'
fi
