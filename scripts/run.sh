#!/usr/bin/env bash
# The main job: sets the machine up, then builds the demo package from examples/ and runs it under
# Wine (scripts/demo.sh). The codec benchmark is bench/run.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/demo.sh "$@"
