#!/bin/bash
# Times vornix pack and verify on the benchmark corpus, with the peak memory of each run: the
# corpus cut into 250 files (a package holds at most 255) packed with 1 and 2 jobs, and the whole
# corpus as one file beside a quarter of it, to show that memory does not grow with file size.
# Usage: bench/pack_bench.sh [METHOD]   (auto, lzh or lzrw; default auto. CORPUS_DIR as for run.sh)
set -euo pipefail
ROOT=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
method=${1:-auto}
cd "$ROOT"
source bench/corpus.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORNIX_BUILD_BENCH=ON -DVORNIX_BUILD_TESTS=OFF >&2
ninja -C build-bench vornix >&2
vornix=$ROOT/build-bench/tools/vornix

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/parts"
(cd "$work/parts" && split -n 250 -d -a 3 "$CORPUS" part)
head -c $(($(stat -c %s "$CORPUS") / 4)) "$CORPUS" > "$work/quarter.bin"

# measure LABEL COMMAND...: wall time and peak resident memory of one run.
measure() {
  local label=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" > "$work/out"
  read -r seconds kilobytes < "$work/time"
  printf '| %s | %s s | %s MB |\n' "$label" "$seconds" "$((kilobytes / 1024))"
}

echo "method $method, corpus $(($(stat -c %s "$CORPUS") / 1000000)) MB, $(nproc) processors"
echo
echo "| run | time | peak memory |"
echo "|---|---|---|"
for jobs in 1 2; do
  measure "pack, 250 files, --jobs $jobs" "$vornix" pack --quiet --jobs "$jobs" --method "$method" -o "$work/setup$jobs.exe" \
    --title Bench --publisher Bench --note Bench "$work"/parts/part*
done
cmp -s "$work/setup1.exe" "$work/setup2.exe" || { echo "pack_bench.sh: --jobs 1 and 2 differ" >&2; exit 1; }
measure "verify, 250 files" "$vornix" verify "$work/setup1.exe"
grep -o '([^)]*)' "$work/out" | sed 's/^/  verify: /'
# The same package without its checksums, for what checking them costs.
"$vornix" pack --quiet --no-checksums --method "$method" -o "$work/nosums.exe" --title Bench --publisher Bench \
  --note Bench "$work"/parts/part*
measure "verify, 250 files, no checksums" "$vornix" verify "$work/nosums.exe"
grep -o '([^)]*)' "$work/out" | sed 's/^/  verify: /'
measure "pack, a quarter of the corpus as one file" "$vornix" pack --quiet --method "$method" -o "$work/quarter.exe" \
  --title Bench --publisher Bench --note Bench "$work/quarter.bin"
measure "pack, the whole corpus as one file" "$vornix" pack --quiet --method "$method" -o "$work/whole.exe" \
  --title Bench --publisher Bench --note Bench "$CORPUS"
measure "verify, a quarter as one file" "$vornix" verify "$work/quarter.exe"
measure "verify, the whole corpus as one file" "$vornix" verify "$work/whole.exe"
echo
echo "package: $(stat -c %s "$work/setup1.exe") bytes ($(stat -c %s "$work/whole.exe") as one file)"
