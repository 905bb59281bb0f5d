#!/usr/bin/env bash
# The cross-compiling emulator of the Windows build: wine-run.sh PREFIX PROGRAM [ARGS...] runs a
# Windows program under Wine in the prefix PREFIX (a folder of the build tree), creating the prefix
# on first use. Wine's own logging and its offers to install Mono and Gecko are switched off.
# Programs that open windows need an X display: run ctest under xvfb-run (scripts/test-windows.sh).
set -euo pipefail
prefix=$1
shift
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# The marker is written once wineboot has finished: a persistent wineserver may keep the registry
# files unwritten for a while, so their presence says nothing.
if [ ! -f "$prefix/.ready" ]; then
  mkdir -p "$prefix"
  # ctest may start several programs at once: only one of them creates the prefix.
  (
    flock 9
    if [ ! -f "$prefix/.ready" ]; then
      wineboot -i > /dev/null 2>&1
      touch "$prefix/.ready"
    fi
  ) 9> "$prefix.lock"
fi

# The output goes through a file: the first window a program opens starts Wine's desktop process,
# which outlives the program and would hold ctest's output pipe open until the test times out.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
status=0
wine "$@" > "$output" 2>&1 < /dev/null || status=$?
cat "$output"
exit $status
