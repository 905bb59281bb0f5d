#!/usr/bin/env bash
# The demo: builds vornix and a demo installer for Windows, packs the installer with a readme into
# demo/setup.exe with vornix pack, and runs it under Wine (on an Xvfb display when there is none), saying what happens
# at each step and keeping screenshots of the stub's window and of the installer.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/demo
source cmake/wine-env.sh
# The 32-bit package, which runs on every Windows, where the host runs 32-bit programs; the 64-bit
# one (vornix pack --arch x64) where it does not.
lane=x86
wine_runs_lane x86 || lane=x64
wine_lane $lane
wine_lane_build $lane build-win
build_win=$lane_build toolchain=$lane_toolchain
export WINEPREFIX=$PWD/$build_win/demo-prefix
temp=$WINEPREFIX/drive_c/users/$(id -un)/Temp

say() { printf '\n== %s\n' "$*"; }

run_demo() {
  wineserver -k 2> /dev/null || true
  wineserver -p
  wine "$out/setup.exe" > /dev/null 2>&1 &
  local stub=$!
  echo "The stub shows its window with the package's title, publisher and note; unpacking starts 2 s later."
  sleep 1.5
  xwd -root -silent | convert xwd:- "$out/stub-window.png"
  echo "Screenshot of the stub's window: demo/stub-window.png"
  for _ in $(seq 100); do
    ls -d "$temp"/vornix_* > /dev/null 2>&1 && break
    sleep 0.1
  done
  local folder
  folder=$(ls -d "$temp"/vornix_* 2> /dev/null | head -1)
  echo "Unpacked into C:\\users\\$(id -un)\\Temp\\$(basename "$folder"): $(ls "$folder" 2> /dev/null | tr '\n' ' ')"
  echo "The stub runs demo-setup.exe from there and waits for it (and for anything it started from that folder)."
  sleep 1.5
  xwd -root -silent | convert xwd:- "$out/installer.png"
  echo "Screenshot of the running installer: demo/installer.png"
  local status=0
  wait $stub || status=$?
  echo "The installer ended; the stub removed the unpacked files and ended with exit code $status, the installer's own (0: all done)."
  if [ -n "$folder" ] && [ -e "$folder" ]; then echo "The unpack folder is still there: $folder"; else echo "The unpack folder is gone."; fi
  wineserver -k
  return $status
}

# xvfb-run goes through sh, which drops exported functions: the script runs itself on the display.
if [ -n "${VORNIX_DEMO_ON_DISPLAY:-}" ]; then
  run_demo
  exit
fi

if [ $lane = x86 ]; then
  say "The demo runs the 32-bit package (vornix pack --arch x86, the default), in Wine's x86 lane"
else
  say "The demo runs the 64-bit package (vornix pack --arch x64), in Wine's x64 lane: the 32-bit one cannot run here, as $VORNIX_NO_X86_REASON"
fi
bits=$([ $lane = x86 ] && echo 32 || echo 64)

say "Building vornix (natively, with the stubs it carries) and the demo installer for $bits-bit Windows"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build --target vornix > /dev/null
cmake --no-warn-unused-cli -S . -B $build_win -G Ninja -DCMAKE_TOOLCHAIN_FILE=$toolchain \
  -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build $build_win --target demo_installer > /dev/null
for arch in x86 x64; do
  echo "$arch stub: $(cat build/stub-$arch/app/vornix_stub.exe.size) bytes, padded to 339968, where the package starts"
done

say "Packing examples/demo with vornix pack --arch $lane: demo-setup.exe (the entry to run) and readme.txt"
mkdir -p "$out"
build/tools/vornix pack -o "$out/setup.exe" --arch $lane --title "Vornix Demo" --publisher "the Vornix developers" \
  --note-file examples/demo/note.txt --run demo-setup.exe $build_win/examples/demo-setup.exe examples/demo/readme.txt
build/tools/vornix list "$out/setup.exe"

say "The Wine prefix $build_win/demo-prefix (made once, about 15 s), with the project's fonts"
wine_prefix_ready "$WINEPREFIX" wine_virtual_desktop
rm -f "$temp/vornix-demo.log"

say "Running demo/setup.exe under Wine"
if [ -n "${DISPLAY:-}" ]; then
  run_demo
else
  VORNIX_DEMO_ON_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0"
fi

say "The installer's log (%TEMP%\\vornix-demo.log)"
tr -d '\r' < "$temp/vornix-demo.log"
