#!/usr/bin/env bash
# Whole application folders and large packages, measured: a tree of 1,500 files of 4 KB in 200
# folders (cut from the benchmark corpus), and a package of 2.2 GB (2,100 MiB of noise, which no
# coder shrinks, packed with LZRW1/KH). Each with stub_payload.exe as setup.exe, the program run.
# Natively: the time vornix takes to pack, verify and extract each. Under Wine, for each lane the host
# runs: the stub's unpack (its folder appears -> the program starts) and clean-up (the program ends
# -> the folder is gone), through stub_bench --packages. Needs about 12 GB of disk in
# build-win-bench/tree-bench; takes about 5 minutes per lane.
# Usage: bench/tree_bench.sh [RUNS]   (stub runs per package, default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-3}
source bench/corpus.sh
source cmake/wine-env.sh
source bench/stub_bench_lane.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build --target vornix > /dev/null
vornix=$PWD/build/tools/vornix
work=$PWD/build-win-bench/tree-bench
rm -rf "$work"
mkdir -p "$work/tree" "$work/large"
echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs); $(wine --version)"

head -c $((1500 * 4096)) "$CORPUS" | split -b 4096 -d -a 4 - "$work/tree/piece"
# Piece n goes to module<n mod 100>, every other one a level deeper, in data/.
for n in $(seq 0 1499); do
  folder=$work/tree/module$((n % 100))
  [ $((n / 100 % 2)) = 0 ] || folder=$folder/data
  mkdir -p "$folder"
  mv "$work/tree/piece$(printf %04d $n)" "$folder/"
done
head -c $((2100 * 1024 * 1024)) /dev/zero |
  openssl enc -aes-128-ctr -K 000102030405060708090a0b0c0d0e0f -iv 0 -nosalt 2> /dev/null > "$work/large/data.bin"
echo "tree: $(find "$work/tree" -type f | wc -l) files in $(find "$work/tree" -mindepth 1 -type d | wc -l) folders," \
  "$(find "$work/tree" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }') bytes; large: $(stat -c %s "$work/large/data.bin") bytes"

wine_host_lanes
wine_say_lanes "tree benchmark"
for lane in $VORNIX_WINE_LANES; do
  stub_bench_build $lane
  cp "$build/bench/stub_payload.exe" "$work/tree/setup.exe"
  cp "$build/bench/stub_payload.exe" "$work/large/setup.exe"

  echo
  echo "== $lane lane: vornix on Linux, seconds"
  for kind in tree large; do
    method=auto
    [ $kind = large ] && method=lzrw
    package=$work/$kind-$lane.exe
    pack=$( { /usr/bin/time -f %e "$vornix" pack -o "$package" --arch $lane --title "$kind" --publisher Bench \
      --note "$kind" --run setup.exe --method $method --quiet "$work/$kind" > /dev/null; } 2>&1)
    verify=$( { /usr/bin/time -f %e "$vornix" verify "$package" > /dev/null; } 2>&1)
    rm -rf "$work/out"
    extract=$( { /usr/bin/time -f %e "$vornix" extract -d "$work/out" "$package" > /dev/null; } 2>&1)
    diff -r "$work/$kind" "$work/out" > /dev/null || { echo "extract: $kind differs" >&2; exit 1; }
    rm -rf "$work/out"
    echo "$kind ($method): pack $pack, verify $verify, extract $extract; package $(stat -c %s "$package") bytes"
  done

  echo
  echo "== $lane lane: the stub under Wine"
  stub_bench_run --packages "$runs" "Z:${work//\//\\}\\tree-$lane.exe" "Z:${work//\//\\}\\large-$lane.exe"
  rm -f "$work"/*-$lane.exe
done
rm -rf "$work"
