#!/usr/bin/env bash
# The damage sweep: how well the integrity record catches damage. Packs three packages from files
# of this machine (LZH, LZRW1/KH and auto), each with the record and without (--no-checksums),
# applies seeded random damages spread evenly over their package parts (bit flips, overwritten
# runs of 1 to 64 bytes, cuts, appended tails) and prints what vornix verify made of them, and
# what vornix extract gives where verify let a copy through. With --wine it also runs the real
# stub under Wine on damaged copies of a checked package whose run entry is bench/damage_probe.cpp,
# with bench/damage_boxes.cpp answering the error boxes, and shows whether the program ever ran
# with a wrong byte. Exit 1 when a checked package with a changed byte got through either with
# wrong bytes, when an unchanged one was refused, or when a run left files behind (a changed stream
# that decodes to the packed bytes is noted: nothing wrong is unpacked); the figures are printed
# either way.
# The native part takes about a minute on 2 processors, the Wine part about two more.
#
# Usage: bench/damage_sweep.sh [--wine] [--seed N] [--damages N] [--jobs N] [--wine-jobs N]
#   --damages N    damages of the checked packages, spread over the three (default 2400); their
#                  unchecked twins get the same ones
#   --seed N       the random seed (default 20261208); the same seed gives the same damages
#   --jobs N       verify runs at once (default: the number of processors)
#   --wine-jobs N  stubs at once under Wine (default 4: a stub spends most of its run waiting on
#                  its timer and the boxes, not on a processor)
# The stub is the 32-bit one where the host runs 32-bit programs, else the 64-bit one (Wine's x64
# lane, cmake/wine-env.sh), and the probe and the box watcher are built for the same lane.
# Environment: VORNIX (default /tmp/sweep-build/tools/vornix, built there when missing),
#   VORNIX_STUB (default: the newer of build/stub-LANE/app/vornix_stub.exe and the Windows build's
#   app/vornix_stub.exe), SWEEP_DIR (scratch, default /tmp/damage-sweep, made anew),
#   WINEPREFIX (default /tmp/sweep-prefix-LANE).
set -euo pipefail
cd "$(dirname "$0")/.."
source cmake/wine-env.sh
lane=x86
wine_runs_lane x86 || lane=x64
wine_lane $lane
wine_lane_build $lane build-win

wine_part=0
seed=20261208
damages=2400
jobs=$(nproc)
wine_jobs=4
while [ $# -gt 0 ]; do
  case $1 in
    --wine) wine_part=1 ;;
    --seed) seed=$2; shift ;;
    --damages) damages=$2; shift ;;
    --jobs) jobs=$2; shift ;;
    --wine-jobs) wine_jobs=$2; shift ;;
    *) echo "usage: bench/damage_sweep.sh [--wine] [--seed N] [--damages N] [--jobs N] [--wine-jobs N]" >&2; exit 2 ;;
  esac
  shift
done

begun=$(date +%s.%N)
vornix=${VORNIX:-/tmp/sweep-build/tools/vornix}

# The stub the packages are made with. The one vornix embeds is the one of its own build, which can
# be older than the stub beside it: every package here is made with an explicit --stub instead.
stub=${VORNIX_STUB:-}
if [ -z "$stub" ]; then
  for candidate in build/stub-$lane/app/vornix_stub.exe $lane_build/app/vornix_stub.exe; do
    [ -f "$candidate" ] || continue
    if [ -z "$stub" ] || [ "$candidate" -nt "$stub" ]; then stub=$candidate; fi
  done
fi
if [ -z "$stub" ] || [ ! -f "$stub" ]; then
  echo "damage_sweep: no stub; build the Windows stub or set VORNIX_STUB" >&2
  exit 1
fi

if [ ! -x "$vornix" ]; then
  build=$(dirname "$(dirname "$vornix")")
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORNIX_BUILD_TESTS=OFF \
    -DVORNIX_STUB_${lane^^}="$PWD/$stub" > /dev/null
  cmake --build "$build" --target vornix > /dev/null
fi

work=${SWEEP_DIR:-/tmp/damage-sweep}
rm -rf "$work"
mkdir -p "$work"
# A copy, so that a rebuild of the stub during the sweep does not change it halfway.
cp "$stub" "$work/stub.exe"
knows_record=no
grep -q "The checksum record is missing" "$work/stub.exe" && knows_record=yes

echo "machine: $(nproc) processors, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
wine_say_lanes "damage sweep"
echo "vornix:  $vornix ($(date -r "$vornix" '+%F %T'))"
echo "stub:    $stub ($lane, $(stat -c %s "$stub") bytes, $(date -r "$stub" '+%F %T'), md5 $(md5sum < "$stub" | cut -c1-12),"\
     "checks the record: $knows_record)"
echo "command: bench/damage_sweep.sh$([ $wine_part = 1 ] && echo " --wine") --seed $seed --damages $damages --jobs $jobs$([ $wine_part = 1 ] && echo " --wine-jobs $wine_jobs")"
echo

status=0
echo "== vornix verify on damaged packages"
/usr/bin/python3 bench/damage_sweep.py native --vornix "$vornix" --stub "$work/stub.exe" --work "$work" \
  --seed "$seed" --damages "$damages" --jobs "$jobs" || status=1

if [ $wine_part = 1 ]; then
  echo
  echo "== the stub under Wine on damaged packages"
  win=$work/win
  mkdir -p "$win/include"
  # The probe takes XXH32 from this one header and nothing else of the host's /usr/include.
  cp /usr/include/xxhash.h "$win/include/"
  compiler=$(sed -n 's/^set(VORNIX_MINGW_TRIPLE \(.*\))$/\1/p' "$lane_toolchain")-g++-posix
  $compiler -O2 -s -static -mwindows -Wl,--no-insert-timestamp -I "$win/include" -o "$win/damage_probe.exe" bench/damage_probe.cpp
  $compiler -O2 -s -static -mwindows -Wl,--no-insert-timestamp -o "$win/damage_boxes.exe" bench/damage_boxes.cpp
  export WINEPREFIX=${WINEPREFIX:-/tmp/sweep-prefix-$lane}
  wine_prefix_ready "$WINEPREFIX"
  # A wineserver left from before keeps the X display it was started with, which is gone.
  wineserver -k 2> /dev/null || true
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    wineserver -p
    result=0
    /usr/bin/python3 bench/damage_sweep.py wine --vornix "$1" --stub "$2" --work "$3" --probe "$4" --boxes "$5" \
      --seed "$6" --jobs "$7" || result=1
    wineserver -k
    exit $result' bash "$vornix" "$work/stub.exe" "$work" "$win/damage_probe.exe" "$win/damage_boxes.exe" \
    "$seed" "$wine_jobs" || status=1
fi

echo
echo "damage sweep: $([ $status = 0 ] && echo OK || echo FAILED) in $(printf '%.0f' "$(echo "$(date +%s.%N) - $begun" | bc)") s"
exit $status
