#!/usr/bin/env bash
# A package released as publishers release theirs: packed with their icon and version information
# (a Cyrillic title in code page 1251, a copyright in characters of no one code page), then signed
# with Authenticode by osslsigncode and a throw-away certificate made here by openssl. The
# signature is appended behind the integrity record and must not disturb it: osslsigncode accepts
# the signature, vornix verify, list and extract read the signed file, and a signed package damaged
# in one entry is caught by both. The signed package, its damaged copy and the icon (publisher.ico)
# are left in OUT for the stub tests to run and read under Wine.
# usage: signed_package_test.sh VORNIX STUB PAYLOAD_EXE OUT (STUB: the stub of the build under test)
set -u
vornix=$1
stub=$2
payload=$3
out=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"
base=339968
u8() { od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '; }
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
flip() { printf "$(printf '\\%03o' $(($(u8 "$1" "$2") ^ 1)))" | dd of="$1" bs=1 seek="$2" conv=notrunc 2> /dev/null; }

mkdir -p "$out" "$work/in"
rm -f "$out"/*.exe
cp "$payload" "$work/in/marker.exe"
head -c 5000 /dev/urandom > "$work/in/data.bin"
bash "$(dirname "${BASH_SOURCE[0]}")/make_icon.sh" "$out/publisher.ico"
"$vornix" pack --quiet --stub "$stub" -o "$work/package.exe" --title "Установка Signed" --codepage 1251 \
  --publisher "Vornix tests" --note "Signed package" --icon "$out/publisher.ico" --product-version 2.1.0.7 \
  --copyright "© 2026 Ωmega 出版" --run marker.exe --method lzrw "$work/in"
check "pack exits 0" test $? -eq 0

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Vornix test publisher" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2> /dev/null
check "openssl made a certificate" test -s "$work/cert.pem"
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "Signed" -in "$work/package.exe" \
  -out "$out/signed.exe" > /dev/null
check "osslsigncode signs the package" test $? -eq 0
osslsigncode verify -CAfile "$work/cert.pem" -in "$out/signed.exe" > "$work/verify.txt" 2>&1
check "osslsigncode verify accepts the signature" test $? -eq 0 || cat "$work/verify.txt" >&2

# The record lies behind the last entry, and the signature behind the record.
table=$((base + 12 + $(u8 "$out/signed.exe" $((base + 5))) + $(u8 "$out/signed.exe" $((base + 6))) + \
  $(u8 "$out/signed.exe" $((base + 7)))))
record=$(($(u32 "$out/signed.exe" $((table + 8))) + $(u32 "$out/signed.exe" $((table + 12)))))
check "the record is where the table says" test "$(od -An -c -j "$record" -N4 "$out/signed.exe" | tr -d ' ')" = VXCK
check "the signature follows the record" test "$(stat -c %s "$out/signed.exe")" -gt $((record + 16 + 8))
# osslsigncode writes the PE checksum and the certificate table's place into the stub's headers;
# the package itself stays as it was.
check "signing left the package as it was" \
  cmp -s -i "$base" -n $((record + 16 + 8 - base)) "$work/package.exe" "$out/signed.exe"

"$vornix" verify "$out/signed.exe" > "$work/stdout"
check "vornix verify accepts the signed package" test $? -eq 0
grep -q "and match their checksums" "$work/stdout"
check "vornix verify checked the checksums" test $? -eq 0
"$vornix" list "$out/signed.exe" > /dev/null
check "vornix list reads the signed package" test $? -eq 0
"$vornix" extract "$out/signed.exe" -d "$work/x" > /dev/null
check "vornix extract unpacks the signed package" test $? -eq 0
check "extracted bytes are the files" cmp -s "$work/in/data.bin" "$work/x/data.bin"

# A byte of data.bin's stored block, behind "data.bin" and its zero, the 8-byte stream header and
# the 4-byte block header.
cp "$out/signed.exe" "$out/signed-damaged.exe"
flip "$out/signed-damaged.exe" $(($(u32 "$out/signed.exe" "$table") + 9 + 8 + 4 + 2000))
"$vornix" verify "$out/signed-damaged.exe" > /dev/null 2> "$work/err"
check "vornix verify rejects the damaged signed package" test $? -eq 1
check "vornix verify names the entry" grep -qx "vornix: $out/signed-damaged.exe: entry 1 \"data.bin\": checksum mismatch" \
  "$work/err"
osslsigncode verify -CAfile "$work/cert.pem" -in "$out/signed-damaged.exe" > /dev/null 2>&1
check "osslsigncode rejects the damaged signed package" test $? -ne 0
finish
