#!/usr/bin/env bash
# The cross-compiling emulator of the Windows build: wine-run.sh PREFIX PROGRAM [ARGS...] runs a
# Windows program under Wine in the prefix PREFIX (a folder of the build tree), creating the prefix
# with the project's fonts on first use (cmake/wine-env.sh). Wine's own logging and its offers to
# install Mono and Gecko are switched off. Programs that open windows need an X display: run ctest
# under xvfb-run (scripts/test-windows.sh).
set -euo pipefail
prefix=$1
shift
source "$(dirname "$0")/wine-env.sh"
export WINEPREFIX=$prefix
wine_prefix_ready "$prefix"

# The output goes through a file: the first window a program opens starts Wine's desktop process,
# which outlives the program and would hold ctest's output pipe open until the test times out.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
status=0
wine "$@" > "$output" 2>&1 < /dev/null || status=$?
cat "$output"
exit $status
