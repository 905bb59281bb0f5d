#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ (clang, AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each one for SECONDS (default 30) from a scratch copy of its seed corpus in fuzz/corpus/.
# Prints one line per target; exits non-zero when any target finds a crash, leak or timeout, and
# leaves the reproducers under build-fuzz/fuzz-work/<target>/artifacts/.
set -u

seconds="${1:-30}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
work="$build/fuzz-work"
targets=(fuzz_decompress_block fuzz_lzh_decode fuzz_container_decompress fuzz_roundtrip fuzz_package_reader
  fuzz_stub_branding)

max_len() {
  case "$1" in
    fuzz_roundtrip) echo 200000 ;;
    fuzz_lzh_decode) echo 100000 ;;
    fuzz_stub_branding) echo 300000 ;;  # a whole stub
    *) echo 70000 ;;
  esac
}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DVORNIX_BUILD_FUZZERS=ON -DVORNIX_SANITIZE=ON \
  -DVORNIX_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
cmake --build "$build" --target "${targets[@]}" || exit 1

status=0
passed=0
failed=0
for target in "${targets[@]}"; do
  dir="$work/$target"
  rm -rf "$dir"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp -R "$root/fuzz/corpus/$target/." "$dir/corpus/"
  # A whole stub is too large to keep as a seed; the native build's is taken when there is one.
  stub="$root/build/stub-x86/app/vornix_stub.exe"
  if [ "$target" = fuzz_stub_branding ] && [ -f "$stub" ]; then
    { printf '\2'; head -c "$(cat "$stub.size")" "$stub"; } > "$dir/corpus/stub"
  fi
  log="$dir/log.txt"
  "$build/fuzz/$target" "$dir/corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len="$(max_len "$target")" -artifact_prefix="$dir/artifacts/" -print_final_stats=1 >"$log" 2>&1
  code=$?
  runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)"
  artifacts="$(find "$dir/artifacts" -type f | head -3 | tr '\n' ' ')"
  if [ "$code" -eq 0 ] && [ -z "$artifacts" ]; then
    echo "$target: ok, ${runs:-?} runs in ${seconds}s"
    passed=$((passed + 1))
  else
    echo "$target: FAILED (exit $code), ${runs:-?} runs; reproducer: ${artifacts:-none}; log: $log"
    status=1
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
exit "$status"
