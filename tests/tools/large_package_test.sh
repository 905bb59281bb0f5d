#!/usr/bin/env bash
# A package past 2 GB, as a publisher of a large application makes one: 2.1 GB that do not
# compress, then a small file whose entry lies past 2^31 bytes into the package. Packed, listed,
# verified and extracted, and what comes out compared with what went in. Costs about 4.5 GB of
# disk in a temporary folder, removed at the end.
# Argument: the vornix program.
set -u
vornix=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"

mkdir "$work/app"
# Key stream from AES in counter mode: noise at disk speed, which no coder shrinks.
head -c $((2100 * 1024 * 1024)) /dev/zero |
  openssl enc -aes-128-ctr -K 000102030405060708090a0b0c0d0e0f -iv 0 -nosalt 2> /dev/null > "$work/app/setup.exe"
printf 'behind 2^31\n' > "$work/app/readme.txt"

check "pack" "$vornix" pack -o "$work/big.exe" --title Big --publisher Test --note "n" --method lzrw --quiet \
  --run setup.exe "$work/app/setup.exe" "$work/app/readme.txt"
size=$(stat -c %s "$work/big.exe")
check "the package is past 2^31 bytes and below 2^32" test "$size" -gt 2147483648 -a "$size" -lt 4294967296
# The second entry's offset in the table, read unsigned: past 2^31.
table=$((339968 + 12 + $(od -An -tu1 -j $((339968 + 5)) -N3 "$work/big.exe" | awk '{print $1 + $2 + $3}')))
offset2=$(od -An -tu4 -j $((table + 8)) -N4 "$work/big.exe" | tr -d ' ')
check "the second entry starts past 2^31" test "$offset2" -gt 2147483648
"$vornix" list "$work/big.exe" > "$work/list"
check "list names both entries with their sizes" grep -q "2202009600 .*setup.exe" "$work/list"
check "list names the entry past 2^31" grep -q "12 .*readme.txt" "$work/list"
check "verify" "$vornix" verify "$work/big.exe"
check "extract" "$vornix" extract -d "$work/out" "$work/big.exe"
check "the tree comes back as it went in" diff -r "$work/app" "$work/out"
finish
