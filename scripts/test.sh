#!/usr/bin/env bash
# Sets the machine up and runs every test: the unit tests and the command-line tests (g++ build),
# the Windows build's tests under Wine, a short benchmark run whose round trips must all match, the same tests built with clang under
# AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzz target for a bounded time. Any
# failure or sanitizer finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=${VORNIX_FUZZ_SECONDS:-30}

bash scripts/setup.sh

echo "== unit tests (g++, Release)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORNIX_BUILD_BENCH=ON > /dev/null
cmake --build build
(cd build && ctest --output-on-failure)

echo "== Windows units and library, in each lane the host runs (MinGW-w64 i686 and x86_64, under Wine and Xvfb)"
bash scripts/test-windows.sh

echo "== benchmark smoke run: every codec's round trip on a small mixed input"
cat build/tools/vornix $(git ls-files '*.cpp' '*.h' '*.md') > build/bench-smoke.bin
build/bench/vornix_bench build/bench-smoke.bin > build/bench-smoke.txt 2>&1 || { cat build/bench-smoke.txt; exit 1; }

echo "== unit tests (clang, AddressSanitizer + UndefinedBehaviorSanitizer)"
# The sanitizer build carries the stubs the first build made, instead of cross-building its own.
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNIX_SANITIZE=ON \
  -DVORNIX_STUB_X86="$PWD/build/stub-x86/app/vornix_stub.exe" \
  -DVORNIX_STUB_X64="$PWD/build/stub-x64/app/vornix_stub.exe" > /dev/null
cmake --build build-asan
(cd build-asan && ctest --output-on-failure)

echo "== fuzz targets, ${fuzz_seconds} s each"
bash fuzz/run.sh "$fuzz_seconds"
