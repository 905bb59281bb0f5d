#!/usr/bin/env bash
# The demo: builds vornix and a demo installer for Windows, packs the installer with a readme into
# demo/setup.exe with vornix pack, and runs it under Wine (on an Xvfb display when there is none), saying what happens
# at each step and keeping screenshots of the stub's window and of the installer.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/demo
source cmake/wine-env.sh
export WINEPREFIX=$PWD/build-win/demo-prefix
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

say "Building vornix (natively, with the stub it carries) and the demo installer for 32-bit Windows"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build --target vornix > /dev/null
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
  -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build-win --target demo_installer > /dev/null
echo "stub: $(cat build/stub-windows/app/vornix_stub.exe.size) bytes, padded to 339968, where the package starts"

say "Packing examples/demo with vornix pack: demo-setup.exe (the entry to run) and readme.txt"
mkdir -p "$out"
build/tools/vornix pack -o "$out/setup.exe" --title "Vornix Demo" --publisher "the Vornix developers" \
  --note-file examples/demo/note.txt --run demo-setup.exe build-win/examples/demo-setup.exe examples/demo/readme.txt
build/tools/vornix list "$out/setup.exe"

say "The Wine prefix build-win/demo-prefix (made once, about 15 s), with the project's fonts"
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
