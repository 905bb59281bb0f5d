# Sourced by the benchmark scripts that run stub_bench under Wine, after cmake/wine-env.sh.
# stub_bench_build LANE: builds stub_bench, sweep_bench, the stub and the payload for LANE in build-win-bench
# (x86) or build-win-bench64 (x64), and sets build to that folder and the loader to the lane's.
stub_bench_build() {
  wine_lane "$1"
  wine_lane_build "$1" build-win-bench
  build=$lane_build
  cmake --no-warn-unused-cli -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=$lane_toolchain \
    -DCMAKE_BUILD_TYPE=Release -DVORNIX_BUILD_BENCH=ON > /dev/null
  cmake --build "$build" --target stub_bench sweep_bench > /dev/null
}

# stub_bench_run ARG...: runs the lane's stub_bench.exe with the arguments, in the build's own prefix,
# on Xvfb with one wineserver for the whole run.
stub_bench_run() { lane_bench_run stub_bench.exe "$@"; }

# lane_bench_run PROGRAM ARG...: the same for another of the lane's benchmark programs.
lane_bench_run() {
  export WINEPREFIX=$PWD/$build/wineprefix
  wine_prefix_ready "$WINEPREFIX"
  wineserver -k 2> /dev/null || true
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    wineserver -p
    status=0
    cmake/wine-run.sh "$VORNIX_WINE_LANE" "$WINEPREFIX" "$0/bench/$1" "${@:2}" || status=$?
    wineserver -k
    exit $status' "$build" "$@"
}
