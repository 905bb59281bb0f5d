#!/usr/bin/env bash
# The stub's padding step: a stub shorter than the package offset is padded with zero bytes to
# exactly that length, and one that is longer fails the build with both sizes named.
set -euo pipefail
pad=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

printf 'MZstub' > "$work/small.exe"
out=$(bash "$pad" "$work/small.exe" 4096)
[ "$out" = "stub: 6 bytes, padded to 4096" ] || fail "unexpected report: $out"
[ "$(stat -c %s "$work/small.exe")" = 4096 ] || fail "not padded to 4096"
[ "$(head -c 6 "$work/small.exe")" = MZstub ] || fail "stub bytes changed"
[ "$(tail -c 4090 "$work/small.exe" | tr -d '\0' | wc -c)" = 0 ] || fail "padding is not zero bytes"
[ "$(cat "$work/small.exe.size")" = 6 ] || fail "size file wrong"

head -c 4096 /dev/zero > "$work/exact.exe"
bash "$pad" "$work/exact.exe" 4096 > /dev/null || fail "a stub of exactly the offset was refused"

head -c 4097 /dev/zero > "$work/large.exe"
if message=$(bash "$pad" "$work/large.exe" 4096 2>&1); then fail "a stub past the offset was accepted"; fi
[[ "$message" == *"the stub is 4097 bytes, larger than the package offset 4096"* ]] || fail "message: $message"
[ ! -e "$work/large.exe" ] || fail "the oversized stub was left for packing"
echo "pad-stub: all cases passed"
