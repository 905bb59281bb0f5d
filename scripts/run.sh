#!/usr/bin/env bash
# The main job: sets the machine up, builds the benchmark corpus (Windows programs and libraries
# plus text, as an installer carries) and runs the codec benchmark on it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash bench/run.sh "$@"
