#!/usr/bin/env bash
# The vornix program's compress and decompress subcommands as a user runs them: round trips with
# each method, the exact one-line errors with exit code 1, usage errors with exit code 2.
set -u
vornix=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"

head -c 300000 /dev/urandom > "$work/random.bin"
{ for i in $(seq 1 3000); do echo "line $i of the vornix test input, with some repeated words"; done; } > "$work/text.txt"
: > "$work/empty.bin"

for input in random.bin text.txt empty.bin; do
  for method in lzh lzrw auto; do
    "$vornix" compress --method "$method" "$work/$input" "$work/packed" &&
      "$vornix" decompress "$work/packed" "$work/restored"
    check "round trip $input $method" cmp -s "$work/$input" "$work/restored"
  done
done
"$vornix" compress "$work/text.txt" "$work/packed"
check "lzh is the default method" test "$(head -c 4 "$work/packed" | od -An -tx1 | tr -d ' ')" = 21485a4c

# Failures: the container's message on one line on stderr, exit code 1, no output left behind.
"$vornix" decompress "$work/missing" "$work/out" 2> "$work/err"
check "missing input exits 1" test $? -eq 1
check "missing input message" test "$(cat "$work/err")" = \
  "vornix: Lzrw1 (de)compression : Failed to open input file : $work/missing"
"$vornix" decompress "$work/text.txt" "$work/out" 2> "$work/err"
check "bad header exits 1" test $? -eq 1
check "bad header message" test "$(cat "$work/err")" = \
  "vornix: $work/text.txt : Lzrw1 decompression : this file has no valid header !"
check "no output after a failure" test ! -e "$work/out"

# Usage errors: exit code 2.
"$vornix" compress --method fast a b 2> /dev/null
check "unknown method exits 2" test $? -eq 2
"$vornix" decompress onlyone 2> /dev/null
check "missing operand exits 2" test $? -eq 2
"$vornix" frobnicate 2> /dev/null
check "unknown command exits 2" test $? -eq 2
"$vornix" 2> /dev/null
check "no command exits 2" test $? -eq 2
"$vornix" --version > "$work/version"
check "--version exits 0" test $? -eq 0
check "--version names the program and its version" test "$(cat "$work/version")" = "vornix (Quorrin Vornix) 1.0"
for command in compress decompress; do
  "$vornix" "$command" --help > "$work/help"
  check "$command --help exits 0" test $? -eq 0
  check "$command --help explains it" grep -q "usage: vornix $command" "$work/help"
done

finish
