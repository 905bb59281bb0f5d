#!/usr/bin/env bash
# The cross-compiling emulator of the Windows build: wine-run.sh LANE PREFIX PROGRAM [ARGS...] runs
# a Windows program under Wine with the loader of LANE (x86 or x64, the build's architecture) in the
# prefix PREFIX (a folder of the build tree), creating the prefix with the project's fonts on first
# use (cmake/wine-env.sh). Wine's own logging and its offers to
# install Mono and Gecko are switched off. Programs that open windows need an X display: run ctest
# under xvfb-run (scripts/test-windows.sh).
set -euo pipefail
lane=$1
prefix=$2
shift 2
source "$(dirname "$0")/wine-env.sh"
wine_lane "$lane"
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
