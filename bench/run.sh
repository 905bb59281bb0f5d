#!/bin/bash
# Builds the benchmark corpus (once; reused while $CORPUS_DIR/corpus.cat exists), configures and
# builds the Release benchmark in build-bench/, and prints the codec table for corpus.cat.
# Usage: bench/run.sh   (CORPUS_DIR defaults to ${TMPDIR:-/tmp}/vornix-corpus)
# Needs zlib, lz4 and zstd development packages (installed by the project's setup script).
set -euo pipefail
ROOT=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
cd "$ROOT"
source bench/corpus.sh

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORNIX_BUILD_BENCH=ON -DVORNIX_BUILD_TESTS=OFF >&2
ninja -C build-bench vornix_bench >&2

build-bench/bench/vornix_bench "$CORPUS"
