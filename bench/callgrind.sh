#!/bin/bash
# Counts, under callgrind, the instructions each of the project's coder operations executes per
# byte of a 4 MiB corpus sample, so that a later change can be compared exactly (the counts do not
# depend on machine load). Builds build-bench/ first, like run.sh.
# Usage: bench/callgrind.sh [CORPUS_FILE]   (default ${CORPUS_DIR:-${TMPDIR:-/tmp}/vornix-corpus}/corpus.cat)
set -euo pipefail
ROOT=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
CORPUS=${1:-${CORPUS_DIR:-${TMPDIR:-/tmp}/vornix-corpus}/corpus.cat}
SAMPLE_BYTES=4194304
OPS="lzrw-compress lzrw-decompress lzh-encode lzh-decode container-lzh-compress container-lzh-decompress
     container-lzrw-compress container-lzrw-decompress"
cd "$ROOT"

[ -f "$CORPUS" ] || { echo "callgrind.sh: no corpus at $CORPUS (run bench/run.sh first)" >&2; exit 1; }
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORNIX_BUILD_BENCH=ON -DVORNIX_BUILD_TESTS=OFF >&2
ninja -C build-bench vornix_bench >&2
BENCH=$ROOT/build-bench/bench/vornix_bench

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
head -c "$SAMPLE_BYTES" "$CORPUS" > "$WORK/sample"
[ "$(stat -c %s "$WORK/sample")" -eq "$SAMPLE_BYTES" ] || { echo "callgrind.sh: corpus below 4 MiB" >&2; exit 1; }

# Runs one operation under callgrind and prints its collected instruction count (Ir).
count() {
  valgrind --tool=callgrind --callgrind-out-file="$WORK/$1.out" --toggle-collect='*MeasuredOperation*' \
    "$BENCH" --op "$1" "$WORK/sample" > "$WORK/$1.log" 2>&1 || { cat "$WORK/$1.log" >&2; exit 1; }
  awk '/^(summary|totals):/ { print $2; exit }' "$WORK/$1.out"
}

echo "sample: first $SAMPLE_BYTES bytes of $CORPUS"
echo "counted: only instructions inside MeasuredOperation (callgrind --toggle-collect), that is the one"
echo "coder call; loading the sample, preparing the input and checking the round trip are outside it."
echo "baseline: 'none' (loads the sample, runs no operation) must count 0; it is subtracted from each row."
BASE=$(count none)
printf '\n%-28s %15s %12s\n' "operation" "instructions" "Ir / byte"
for op in $OPS; do
  ir=$(count "$op")
  awk -v op="$op" -v ir="$ir" -v base="$BASE" -v n="$SAMPLE_BYTES" \
    'BEGIN { printf "%-28s %15.0f %12.2f\n", op, ir - base, (ir - base) / n }'
done
printf '%-28s %15d\n' "(baseline none)" "$BASE"
