#!/usr/bin/env bash
# The vornix program's pack, list, verify and extract subcommands as a user runs them: packages
# checked byte for byte against the layout, round trips through extract, every refusal with its
# exact one-line message, exit code 1 and nothing written, usage errors with exit code 2, and
# damaged packages reported entry by entry.
# Arguments: the vornix program, and the x86 and x64 stubs it carries (each empty when it carries
# none).
set -u
# Some checks run from other folders.
absolute() { case $1 in /* | '') echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
vornix=$(absolute "$1")
stub=$(absolute "${2:-}")
stub64=$(absolute "${3:-}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"
base=339968  # where the package starts, behind the padded stub

# A text that must be exactly as expected; a mismatch shows both.
check_eq() {  # check_eq NAME EXPECTED ACTUAL
  check "$1" test "$2" = "$3" || printf '  expected: %s\n  actual:   %s\n' "$2" "$3" >&2
}

u8() { od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '; }
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }
hex() { od -An -tx1 -v -j "$2" -N "$3" "$1" | tr -d ' \n'; }
hex_of() { printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n'; }
put32() {  # put32 FILE OFFSET VALUE, little-endian
  local v=$3
  printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255)))" |
    dd of="$1" bs=1 seek="$2" conv=notrunc 2> /dev/null
}
poke() { printf '%s' "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc 2> /dev/null; }
flip() { printf "$(printf '\\%03o' $(($(u8 "$1" "$2") ^ 255)))" | dd of="$1" bs=1 seek="$2" conv=notrunc 2> /dev/null; }
# shellcheck disable=SC2254  # the pattern is a glob on purpose
matches() { case $1 in $2) return 0 ;; esac; return 1; }  # matches TEXT GLOB
table_of() { echo $((base + 12 + $(u8 "$1" $((base + 5))) + $(u8 "$1" $((base + 6))) + $(u8 "$1" $((base + 7))))); }

# One line per entry from the header and the table: "NAME_HEX STREAM_START STREAM_LENGTH". A line
# starting with "layout:" where an entry does not start where the one before ends (the first right
# behind the table), or the last does not end the file or, when Flags bit 1 marks the checksum
# record, the record (16 bytes and 4 per entry) does not.
walk() {
  local pkg=$1 count table at i offset size name
  count=$(u8 "$pkg" $((base + 4)))
  table=$(table_of "$pkg")
  at=$((table + 8 * count))
  for ((i = 0; i < count; i++)); do
    offset=$(u32 "$pkg" $((table + 8 * i)))
    size=$(u32 "$pkg" $((table + 8 * i + 4)))
    [ "$offset" -eq "$at" ] || echo "layout: entry $((i + 1)) starts at $offset, not at $at"
    name=$(od -An -tx1 -v -w1 -j "$offset" -N 256 "$pkg" | awk '$1 == "00" { exit } { printf "%s", $1 }')
    echo "$name $((offset + ${#name} / 2 + 1)) $((size - ${#name} / 2 - 1))"
    at=$((offset + size))
  done
  (($(u8 "$pkg" $((base + 9))) & 2)) && at=$((at + 16 + 4 * count))
  [ "$at" -eq "$(stat -c %s "$pkg")" ] || echo "layout: the entries end at $at, not at the end of the file"
}

# A vornix without a stub of its own packs with the shortest stub there is.
printf 'MZ' > "$work/mz.exe"
stub_option=()
[ -n "$stub" ] || stub_option=(--stub "$work/mz.exe")

# pack with default texts; --note is left out when the arguments name a --note-file.
pack() {
  local note=(--note Note)
  case " $* " in *" --note-file "*) note=() ;; esac
  "$vornix" pack --quiet --title Title --publisher Publisher "${note[@]}" "${stub_option[@]}" "$@"
}

# pack ARGS must fail with exactly MESSAGE and exit code 1 before it writes anything: the output
# folder stays empty, without a package or a temporary file.
refused() {  # refused NAME MESSAGE ARGS...
  local name=$1 message=$2
  shift 2
  rm -rf "$work/out" && mkdir "$work/out"
  pack -o "$work/out/p.exe" "$@" > /dev/null 2> "$work/err"
  check "$name: exit code 1" test $? -eq 1
  check_eq "$name: message" "$message" "$(cat "$work/err")"
  check "$name: nothing written" test -z "$(ls -A "$work/out")"
}

# vornix ARGS must fail with the usage line for PROBLEM and exit code 2, writing nothing.
usage_error() {  # usage_error COMMAND PROBLEM ARGS...
  local command=$1 problem=$2
  shift 2
  rm -rf "$work/out" && mkdir "$work/out"
  "$vornix" "$command" "$@" > /dev/null 2> "$work/err"
  check "$command $problem: exit code 2" test $? -eq 2
  check_eq "$command $problem: message" "vornix $command: $problem (try 'vornix $command --help')" "$(cat "$work/err")"
  check "$command $problem: nothing written" test -z "$(ls -A "$work/out")"
}

mkdir "$work/in"
: > "$work/in/empty.bin"
printf 'small text\n' > "$work/in/small.txt"
awk 'BEGIN { for (i = 1; i <= 5000; i++) print "line " i " of the vornix package test, with words that repeat" }' \
  > "$work/in/text.txt"
head -c 200000 /dev/urandom > "$work/in/random.bin"
printf 'Grüße aus dem Paket\n' > "$work/in/Grüße.txt"
files=(empty.bin small.txt text.txt random.bin Grüße.txt)
# The names as the package stores them, in code page 1252.
names_1252="$(hex_of empty.bin) $(hex_of small.txt) $(hex_of text.txt) $(hex_of random.bin) 4772fcdf652e747874 "

# Round trips with each method: the table and the stored bytes, list, verify and extract.
for method in lzh lzrw auto; do
  pkg=$work/$method.exe
  pack -o "$pkg" --method "$method" "${files[@]/#/$work/in/}" > "$work/stdout"
  check "$method: pack exits 0" test $? -eq 0
  check "$method: --quiet prints nothing" test ! -s "$work/stdout"
  check_eq "$method: header" 010000000509050400020000 "$(hex "$pkg" "$base" 12)"
  check_eq "$method: texts" "$(hex_of PublisherTitleNote)" "$(hex "$pkg" $((base + 12)) 18)"
  walk "$pkg" > "$work/walk"
  check "$method: entries lie back to back behind the table" test -z "$(grep '^layout:' "$work/walk")"
  check_eq "$method: names without their folder, in 1252" "$names_1252" "$(cut -d' ' -f1 "$work/walk" | tr '\n' ' ')"
  i=0
  while read -r _ start length; do
    tail -c +$((start + 1)) "$pkg" | head -c "$length" > "$work/stream"
    "$vornix" compress --method "$method" "$work/in/${files[i]}" "$work/alone"
    check "$method: ${files[i]} is stored as compress writes it" cmp -s "$work/stream" "$work/alone"
    i=$((i + 1))
  done < <(grep -v '^layout:' "$work/walk")

  "$vornix" list "$pkg" > "$work/list"
  check "$method: list exits 0" test $? -eq 0
  rows=$(sed -n '/^ *# *method/,$p' "$work/list" | tail -n +2)
  expected=""
  for i in "${!files[@]}"; do expected+="$((i + 1)) $(stat -c %s "$work/in/${files[i]}") ${files[i]}|"; done
  check_eq "$method: list rows" "$expected" "$(awk '{ printf "%s %s %s|", $1, $3, $6 }' <<< "$rows")"
  case $method in
    lzh) check_eq "lzh: every entry LZH" LZH "$(awk '{ print $2 }' <<< "$rows" | sort -u)" ;;
    lzrw) check_eq "lzrw: every entry LZRW1/KH" LZRW1/KH "$(awk '{ print $2 }' <<< "$rows" | sort -u)" ;;
    auto)
      check_eq "auto: text as LZRW1/KH" LZRW1/KH "$(awk '$6 == "text.txt" { print $2 }' <<< "$rows")"
      check_eq "auto: random as LZH" LZH "$(awk '$6 == "random.bin" { print $2 }' <<< "$rows")"
      ;;
  esac

  "$vornix" verify "$pkg" > "$work/stdout"
  check "$method: verify exits 0" test $? -eq 0
  check "$method: verify summary" matches "$(cat "$work/stdout")" \
    "$pkg: all 5 entries decode to their stated sizes and match their checksums (*"

  "$vornix" extract "$pkg" -d "$work/x-$method" > "$work/stdout"
  check "$method: extract exits 0" test $? -eq 0
  check_eq "$method: extract summary" "$pkg: 5 files extracted into $work/x-$method" "$(cat "$work/stdout")"
  check_eq "$method: extract writes the names" "$(printf '%s\n' "${files[@]}" | sort)" "$(ls "$work/x-$method" | sort)"
  for file in "${files[@]}"; do
    check "$method: $file round trip" cmp -s "$work/in/$file" "$work/x-$method/$file"
  done
done

# --arch chooses the stub the program carries; list names the architecture from the stub's PE header.
arch_line() { sed -n 2p "$1"; }
pack -o "$work/mz-stub.exe" --stub "$work/mz.exe" "$work/in/small.txt"
"$vornix" list "$work/mz-stub.exe" > "$work/list"
check_eq "a stub of neither architecture: list says so" \
  "stub:      unknown (not a 32-bit or 64-bit x86 Windows program)" "$(arch_line "$work/list")"
check "a stub of neither architecture: list --json gives null" \
  grep -qF '"stub": null' <("$vornix" list --json "$work/mz-stub.exe")
for arch in x86 x64; do
  carried=$stub
  [ $arch = x64 ] && carried=$stub64
  if [ -z "$carried" ]; then
    usage_error pack "this vornix carries no $arch stub; name one with --stub FILE" -o "$work/out/p.exe" --title T \
      --publisher P --note N --arch $arch "$work/in/small.txt"
    continue
  fi
  "$vornix" pack --quiet -o "$work/$arch.exe" --title Title --publisher Publisher --note Note --arch $arch \
    "$work/in/small.txt"
  # Past the headers (which the resources rewrite): the stub's code, as built.
  check "--arch $arch: the package starts with the $arch stub" cmp -s -i 1024 -n 65536 "$work/$arch.exe" "$carried"
  check "--arch $arch: the package behind it does not depend on the stub" \
    cmp -s <(tail -c +$((base + 1)) "$work/$arch.exe") <(tail -c +$((base + 1)) "$work/mz-stub.exe")
  "$vornix" list "$work/$arch.exe" > "$work/list"
  check_eq "--arch $arch: list names the stub" "stub:      $arch ($([ $arch = x86 ] && echo 32 || echo 64)-bit Windows)" \
    "$(arch_line "$work/list")"
  check "--arch $arch: list --json names the stub" grep -qF "\"stub\": \"$arch\"" <("$vornix" list --json "$work/$arch.exe")
done
usage_error pack "--arch: \"arm64\" is neither x86 nor x64" -o "$work/out/p.exe" --title T --publisher P --note N \
  --arch arm64 "$work/in/small.txt"
usage_error pack "give either --arch or --stub: a stub file is of its own architecture" -o "$work/out/p.exe" \
  --title T --publisher P --note N --arch x64 --stub "$work/mz.exe" "$work/in/small.txt"
pack -o "$work/small-stub.exe" --method lzh --stub "$work/mz.exe" "${files[@]/#/$work/in/}"
check "a short stub is padded with zeros" cmp -s -n "$base" "$work/small-stub.exe" <(cat "$work/mz.exe" /dev/zero)
check "the package does not depend on the stub" \
  cmp -s <(tail -c +$((base + 1)) "$work/small-stub.exe") <(tail -c +$((base + 1)) "$work/lzh.exe")
{ printf 'MZ'; head -c $((base - 2)) /dev/urandom; } > "$work/full-stub.exe"
pack -o "$work/full.exe" --stub "$work/full-stub.exe" "$work/in/small.txt"
check "a stub of exactly 339968 bytes is taken as it is" cmp -s -n "$base" "$work/full.exe" "$work/full-stub.exe"

"$vornix" pack -o "$work/summary.exe" --title T --publisher P --note N "${stub_option[@]}" \
  "$work/in/small.txt" "$work/in/text.txt" > "$work/stdout" 2> "$work/err"
check "without --quiet: a summary" \
  matches "$(sed -n 1p "$work/stdout")" "$work/summary.exe: 2 files, * packed into * (the stub included) in * s"
if [ -n "$stub" ]; then
  check "without --quiet: the room left for resources" \
    matches "$(sed -n 2p "$work/stdout")" "$work/summary.exe: the resources take * kB, leaving * kB of room in the stub"
fi
check "without a terminal: no progress bar" test ! -s "$work/err"

# The same package for any number of jobs, and from run to run; the table keeps the order given.
mkdir "$work/mixed"
order=()
for i in $(seq 20 -1 1); do
  if [ $((i % 3)) -eq 0 ]; then
    head -c $((i * 3001)) /dev/urandom > "$work/mixed/f$i.bin"
  else
    head -c $((i * 9973)) "$work/in/text.txt" > "$work/mixed/f$i.bin"
  fi
  order+=("$work/mixed/f$i.bin")
done
for jobs in 1 2 4; do
  pack -o "$work/jobs$jobs.exe" --jobs "$jobs" "${order[@]}"
done
pack -o "$work/again.exe" "${order[@]}"
check "--jobs 2 packs the same bytes as --jobs 1" cmp -s "$work/jobs1.exe" "$work/jobs2.exe"
check "--jobs 4 packs the same bytes as --jobs 1" cmp -s "$work/jobs1.exe" "$work/jobs4.exe"
check "packing again gives the same bytes" cmp -s "$work/jobs1.exe" "$work/again.exe"
walk "$work/jobs4.exe" > "$work/walk"
expected=""
for i in $(seq 20 -1 1); do expected+="$(hex_of "f$i.bin") "; done
check_eq "the table keeps the order of the command line" "$expected" "$(cut -d' ' -f1 "$work/walk" | tr '\n' ' ')"
"$vornix" extract "$work/jobs4.exe" -d "$work/x-jobs" > /dev/null
check "the mixed files round trip" diff -r "$work/mixed" "$work/x-jobs"

# Texts: UTF-8 in, the code page's bytes and CR LF line breaks out.
cp "$work/in/small.txt" "$work/in/small.bat"
pack -o "$work/texts.exe" --title "Grüße €" --publisher Pub --note $'one\ntwo\r\nthree\rfour' --run SMALL.BAT \
  "$work/in/empty.bin" "$work/in/small.bat"
check_eq "texts: header with the run" 010000000203071501030000 "$(hex "$work/texts.exe" "$base" 12)"
check_eq "texts: publisher, title in 1252, note with CR LF" \
  "$(hex_of Pub)4772fcdf652080$(hex_of $'one\r\ntwo\r\nthree\r\nfour')" "$(hex "$work/texts.exe" $((base + 12)) 31)"
"$vornix" list "$work/texts.exe" > "$work/list"
check_eq "texts: list shows them" "title:     Grüße €
publisher: Pub
note:      one
           two
           three
           four
run:       small.bat (entry 2) after unpacking
flags:     0x03
checksums: XXH32 of the header, the table and every entry" "$(sed -n 3,11p "$work/list")"

printf '\xef\xbb\xbfFirst line\nSecond line\r\n\r\n\n' > "$work/note.txt"
pack -o "$work/notefile.exe" --title T --publisher P --note-file "$work/note.txt" "$work/in/small.txt"
check_eq "note file: BOM and final line breaks dropped, CR LF inside" \
  "$(hex_of $'First line\r\nSecond line')" \
  "$(hex "$work/notefile.exe" $((base + 14)) "$(u8 "$work/notefile.exe" $((base + 7)))")"

title=$(printf 'é%.0s' {1..128})
pack -o "$work/long.exe" --title "$title" --publisher "$(printf 'p%.0s' {1..255})" "$work/in/small.txt"
check_eq "lengths count code page bytes: 255 and 128 fit" ff80 "$(hex "$work/long.exe" $((base + 5)) 2)"

mkdir "$work/cyr"
printf 'кириллица\n' > "$work/cyr/Файл.txt"
pack -o "$work/cyr.exe" --codepage 1251 --title "Привет" "$work/cyr/Файл.txt"
check_eq "1251: the title's bytes" cff0e8e2e5f2 "$(hex "$work/cyr.exe" $((base + 21)) 6)"
check_eq "1251: the name's bytes" d4e0e9eb2e747874 "$(cut -d' ' -f1 < <(walk "$work/cyr.exe"))"
check_eq "1251: list reads it back" "title:     Привет" \
  "$("$vornix" list "$work/cyr.exe" --codepage 1251 | sed -n 3p)"
"$vornix" extract "$work/cyr.exe" --codepage 1251 -d "$work/x-cyr" > /dev/null
check "1251: extract restores the name" cmp -s "$work/cyr/Файл.txt" "$work/x-cyr/Файл.txt"
mkdir "$work/cyr2"
printf 'другой\n' > "$work/cyr2/файл.txt"
refused "1251: names equal ignoring case" \
  "vornix: $work/cyr2/файл.txt: the name \"файл.txt\" is that of $work/cyr/Файл.txt when case is ignored" \
  --codepage 1251 "$work/cyr/Файл.txt" "$work/cyr2/файл.txt"

refused "a title outside the code page" 'vornix: --title: "Ω" (U+03A9) has no place in code page 1252' \
  --title "aΩ" "$work/in/small.txt"
refused "a title not UTF-8" 'vornix: --title: is not valid UTF-8 (byte 0xFF at offset 2)' --title $'ab\xff' \
  "$work/in/small.txt"
: > "$work/Ω.txt"
refused "a name outside the code page" \
  "vornix: $work/Ω.txt: the name \"Ω\" (U+03A9) has no place in code page 1252" "$work/Ω.txt"
usage_error pack "code page 932 is not supported; supported: 874, 1250-1258" \
  -o "$work/out/p.exe" --title T --publisher P --note N --codepage 932 "$work/in/small.txt"

# Refusals: each checked before anything is written.
long=$(printf 'x%.0s' {1..256})
refused "title of 256 bytes" "vornix: --title: 256 bytes in code page 1252; a package holds at most 255" \
  --title "$long" "$work/in/small.txt"
refused "publisher of 256 bytes" "vornix: --publisher: 256 bytes in code page 1252; a package holds at most 255" \
  --publisher "$long" "$work/in/small.txt"
refused "note of 256 bytes once its breaks are CR LF" \
  "vornix: --note: 256 bytes in code page 1252; a package holds at most 255" \
  --note "$(printf 'x\n%.0s' {1..86})" "$work/in/small.txt"
head -c 300 "$work/in/text.txt" | tr '\n' ' ' > "$work/note300.txt"
refused "note file too long" "vornix: $work/note300.txt: 300 bytes in code page 1252; a package holds at most 255" \
  --note-file "$work/note300.txt" "$work/in/small.txt"
head -c 65537 "$work/in/text.txt" > "$work/note64k.txt"
refused "note file too large to read" "vornix: $work/note64k.txt: 65537 bytes; a note holds at most 255" \
  --note-file "$work/note64k.txt" "$work/in/small.txt"
printf 'a\0b' > "$work/note0.txt"
refused "note file with a zero byte" "vornix: $work/note0.txt: holds a zero byte, which would end it early" \
  --note-file "$work/note0.txt" "$work/in/small.txt"
refused "missing note file" "vornix: $work/none.txt: cannot open the file" \
  --note-file "$work/none.txt" "$work/in/small.txt"

mkdir "$work/many"
for i in $(seq 1 256); do : > "$work/many/f$i"; done
pack -o "$work/many.exe" "$work"/many/f*
check_eq "256 files: the tree layout, 255 in the table" "0200ff" \
  "$(hex "$work/many.exe" "$base" 2)$(hex "$work/many.exe" $((base + 4)) 1)"
check "256 files verify" "$vornix" verify "$work/many.exe"
rm "$work/many/f256"
pack -o "$work/many.exe" "$work"/many/f*
check_eq "255 files keep the layout of version 1" "0100ff" \
  "$(hex "$work/many.exe" "$base" 2)$(hex "$work/many.exe" $((base + 4)) 1)"

mkdir "$work/names"
for name in CON.txt nul.tar.gz 'com1 .log' 'a b.' 'trailing ' 'x?.txt' 'a<b' 'back\slash' 'co:lon' $'tab\tname' \
  'keep.~~C'; do
  : > "$work/names/$name"
done
refused "device name" "vornix: $work/names/CON.txt: the stub cannot unpack the name \"CON.txt\": it names a device" \
  "$work/in/small.txt" "$work/names/CON.txt"
refused "device name with two extensions" \
  "vornix: $work/names/nul.tar.gz: the stub cannot unpack the name \"nul.tar.gz\": it names a device" \
  "$work/names/nul.tar.gz"
refused "device name with a blank" \
  "vornix: $work/names/com1 .log: the stub cannot unpack the name \"com1 .log\": it names a device" \
  "$work/names/com1 .log"
refused "trailing dot" "vornix: $work/names/a b.: the stub cannot unpack the name \"a b.\": it ends in a dot or blank" \
  "$work/names/a b."
refused "trailing blank" \
  "vornix: $work/names/trailing : the stub cannot unpack the name \"trailing \": it ends in a dot or blank" \
  "$work/names/trailing "
for name in 'x?.txt' 'a<b'; do
  refused "reserved character in '$name'" \
    "vornix: $work/names/$name: the stub cannot unpack the name \"$name\": it holds a character Windows does not allow in file names" \
    "$work/names/$name"
done
for name in 'back\slash' 'co:lon'; do
  refused "separator in '$name'" \
    "vornix: $work/names/$name: the stub cannot unpack the name \"$name\": it holds a folder separator or a drive colon" \
    "$work/names/$name"
done
tab_name=$'tab\tname'
refused "control character" \
  "vornix: $work/names/$tab_name: the stub cannot unpack the name \"$tab_name\": it holds a control character" \
  "$work/names/$tab_name"
refused "scratch extension" \
  "vornix: $work/names/keep.~~C: the stub cannot unpack the name \"keep.~~C\": it ends in .~~c" "$work/names/keep.~~C"

mkdir "$work/a" "$work/b"
printf 'one\n' > "$work/a/readme.txt"
printf 'two\n' > "$work/b/README.TXT"
refused "names equal ignoring case" \
  "vornix: $work/b/README.TXT: the name \"README.TXT\" is that of $work/a/readme.txt when case is ignored" \
  "$work/a/readme.txt" "$work/b/README.TXT"
printf 'three\n' > "$work/a/Äpfel.txt"
printf 'four\n' > "$work/b/äpfel.txt"
refused "non-ASCII names equal ignoring case" \
  "vornix: $work/b/äpfel.txt: the name \"äpfel.txt\" is that of $work/a/Äpfel.txt when case is ignored" \
  "$work/a/Äpfel.txt" "$work/b/äpfel.txt"
refused "--run naming no packed file" 'vornix: --run: "setup.exe" names none of the packed files' \
  --run setup.exe "$work/in/small.txt" "$work/in/text.txt"
for kind in TEXT.TXT empty.bin; do
  refused "--run naming a $kind" "vornix: --run: \"$kind\" is no kind of file the stub can start: give a .exe, .com, \
.bat, .cmd or .msi file" --run "$kind" "$work/in/empty.bin" "$work/in/text.txt"
done
mkdir -p "$work/kinds"
for kind in a.exe b.COM c.bat d.Cmd e.msi; do
  : > "$work/kinds/$kind"
  pack -o "$work/kind.exe" --run "$kind" "$work/kinds/$kind" > /dev/null
  check "--run takes $kind" test $? -eq 0
done

{ printf 'MZ'; head -c $((base - 1)) /dev/zero; } > "$work/big-stub.exe"
refused "stub over 339968 bytes" "vornix: $work/big-stub.exe: the stub is 339969 bytes long; it must fit in 339968" \
  --stub "$work/big-stub.exe" "$work/in/small.txt"
printf 'ZM not a program' > "$work/bad-stub.exe"
refused "stub without MZ" "vornix: $work/bad-stub.exe: the stub is no Windows program" \
  --stub "$work/bad-stub.exe" "$work/in/small.txt"
refused "missing stub" "vornix: $work/no-stub.exe: cannot open the stub" --stub "$work/no-stub.exe" "$work/in/small.txt"
refused "missing input" "vornix: $work/missing.txt: cannot open the file" "$work/in/small.txt" "$work/missing.txt"
pack -o "$work/folder.exe" "$work/a" "$work/in/small.txt"
check_eq "a folder gives its files, in name order, in the operands' place" "readme.txt Äpfel.txt small.txt" \
  "$("$vornix" list "$work/folder.exe" | awk 'NR > 10 { printf "%s%s", sep, $6; sep = " " }')"
mkdir "$work/empty" "$work/empty/sub"
refused "a folder of empty folders" "vornix: $work/empty: the folder holds no file" "$work/empty"

# A tree: packed in name order, listed with its paths, verified, and extracted as it was.
mkdir -p "$work/tree/bin" "$work/tree/data/lang" "$work/tree/empty"
printf 'setup' > "$work/tree/setup.exe"
printf 'tool' > "$work/tree/bin/tool.exe"
printf 'de' > "$work/tree/data/lang/de.txt"
head -c 70000 /dev/urandom > "$work/tree/data/blob"
pack -o "$work/tree.exe" --run bin/tool.exe "$work/tree"
check_eq "a tree: its paths in name order" 'bin\tool.exe data\blob data\lang\de.txt setup.exe' \
  "$("$vornix" list "$work/tree.exe" | awk 'NR > 11 { printf "%s%s", sep, $6; sep = " " }')"
check_eq "a tree: its folders and run entry in JSON" \
  ' "flags": 3, "run_index": 0, "run": "bin\\tool.exe",| "folders": ["bin", "data", "data\\lang", "empty"],' \
  "$("$vornix" list --json "$work/tree.exe" | sed -n '2p;4p' | paste -sd '|')"
check "a tree verifies" "$vornix" verify "$work/tree.exe"
"$vornix" extract -d "$work/tree-out" "$work/tree.exe" > /dev/null
check "a tree extracts as it was packed" diff -r "$work/tree" "$work/tree-out"
mkdir -p "$work/tree-link" "$work/outside"
ln -s "$work/outside" "$work/tree-link/bin"
"$vornix" extract -d "$work/tree-link" "$work/tree.exe" > /dev/null 2> "$work/err"
check_eq "extract goes through no symbolic link inside OUT" \
  "vornix: $work/tree.exe: $work/tree-link/bin: a symbolic link; nothing is written through it|0" \
  "$(head -1 "$work/err")|$(ls "$work/outside" | wc -l)"
ln -s "$work/outside" "$work/tree/data/link"
refused "a symbolic link in the tree" "vornix: $work/tree/data/link: a symbolic link; a package holds none" "$work/tree"
rm "$work/tree/data/link"
mkfifo "$work/tree/fifo"
refused "a special file in the tree" "vornix: $work/tree/fifo: not a plain file" "$work/tree"
rm "$work/tree/fifo"
truncate -s 4G "$work/huge.bin"
refused "input of 4 GB" \
  "vornix: $work/huge.bin: 4294967296 bytes, 4 GB or more: Windows does not start a program file that large" \
  "$work/in/small.txt" "$work/huge.bin"
rm "$work/huge.bin"
if [ "$(id -u)" -ne 0 ]; then
  printf 'secret\n' > "$work/locked.txt" && chmod 000 "$work/locked.txt"
  refused "unreadable input" "vornix: $work/locked.txt: cannot open the file" "$work/locked.txt"
fi

mkdir "$work/keep"
printf 'the old package\n' > "$work/keep/p.exe"
cp "$work/keep/p.exe" "$work/old.exe"
pack -o "$work/keep/p.exe" "$work/in/small.txt" "$work/missing.txt" 2> "$work/err"
check "failing over an old package: exit code 1" test $? -eq 1
check_eq "failing over an old package: message" "vornix: $work/missing.txt: cannot open the file" "$(cat "$work/err")"
check "failing over an old package leaves it" cmp -s "$work/old.exe" "$work/keep/p.exe"
pack -o "$work/keep/p.exe" --method lzh "${files[@]/#/$work/in/}"
check "packing over an old package replaces it" cmp -s "$work/lzh.exe" "$work/keep/p.exe"
check_eq "no temporary files are left" "p.exe" "$(ls -A "$work/keep")"
pack -o "$work/nowhere/p.exe" "$work/in/small.txt" 2> "$work/err"
check "output folder missing: exit code 1" test $? -eq 1
check_eq "output folder missing: message" "vornix: $work/nowhere/p.exe: cannot create a file in its folder" \
  "$(cat "$work/err")"

# Usage errors.
O=(-o "$work/out/p.exe")
usage_error pack "--output is required" --title T --publisher P --note N "$work/in/small.txt"
usage_error pack "--title is required" "${O[@]}" --publisher P --note N "$work/in/small.txt"
usage_error pack "--publisher is required" "${O[@]}" --title T --note N "$work/in/small.txt"
usage_error pack "give either --note or --note-file" "${O[@]}" --title T --publisher P --note N \
  --note-file "$work/note.txt" "$work/in/small.txt"
usage_error pack "give either --note or --note-file" "${O[@]}" --title T --publisher P "$work/in/small.txt"
usage_error pack "no FILE to pack" "${O[@]}" --title T --publisher P --note N
for jobs in 0 256 two; do
  usage_error pack "--jobs takes a whole number from 1 to 255, not '$jobs'" "${O[@]}" --title T --publisher P \
    --note N --jobs "$jobs" "$work/in/small.txt"
done
usage_error pack "unknown option '--frob'" "${O[@]}" --title T --publisher P --note N --frob "$work/in/small.txt"
usage_error pack "unknown method 'fast'" "${O[@]}" --title T --publisher P --note N --method fast "$work/in/small.txt"
usage_error pack "--note needs a value" "${O[@]}" --title T --publisher P --note
usage_error pack "--quiet takes no value" "${O[@]}" --title T --publisher P --note N --quiet=yes "$work/in/small.txt"
usage_error list "expected one PACKAGE" "$work/lzh.exe" "$work/lzrw.exe"
usage_error verify "expected one PACKAGE"
usage_error extract "code page 1200 is not supported; supported: 874, 1250-1258" "$work/lzh.exe" --codepage 1200 \
  -d "$work/out/x"
for command in pack list verify extract compress decompress; do
  "$vornix" "$command" --help > "$work/help"
  check "$command --help exits 0" test $? -eq 0
  check "$command --help explains it" grep -q "^usage: vornix $command" "$work/help"
done

# Damaged packages: verify names the damaged entry, and only that one.
head -c 60000 "$work/in/text.txt" > "$work/in/one.txt"
tail -c 70000 "$work/in/text.txt" > "$work/in/two.txt"
head -c 20000 "$work/in/random.bin" > "$work/in/three.txt"
abc=("$work/in/one.txt" "$work/in/two.txt" "$work/in/three.txt")
# Without checksums, as every package made before them: damage shows only where decoding fails.
pack -o "$work/abc.exe" --method lzrw --no-checksums "${abc[@]}"
table=$(table_of "$work/abc.exe")
offset2=$(u32 "$work/abc.exe" $((table + 8)))
size2=$(u32 "$work/abc.exe" $((table + 12)))
stream2=$((offset2 + 8))  # behind "two.txt" and its zero byte

damaged() {  # damaged NAME PACKAGE REASON
  "$vornix" verify "$2" > "$work/stdout" 2> "$work/err"
  check "$1: verify exits 1" test $? -eq 1
  check_eq "$1: only entry 2 is named" "vornix: $2: entry 2 \"two.txt\": $3" "$(cat "$work/err")"
  check_eq "$1: verify summary" "$2: 1 of 3 entries failed" "$(cat "$work/stdout")"
}
cp "$work/abc.exe" "$work/d1.exe"
# The high byte of the first block's length: the block then claims more than a block may hold.
flip "$work/d1.exe" $((stream2 + 9))
damaged "a flipped block length" "$work/d1.exe" "Lzrw1 : Error reading from input stream !"
cp "$work/abc.exe" "$work/d2.exe"
put32 "$work/d2.exe" $((table + 12)) $((size2 - 100))
damaged "a stream cut short" "$work/d2.exe" "Lzrw1 : Error reading from input stream !"
cp "$work/abc.exe" "$work/d3.exe"
put32 "$work/d3.exe" $((table + 12)) $((size2 + 1000000))
damaged "an entry past the end of the file" "$work/d3.exe" "The entry ends past the end of the file"
cp "$work/abc.exe" "$work/d4.exe"
put32 "$work/d4.exe" $((table + 12)) $((0x100000000 - offset2))
damaged "an entry ending at 2^32" "$work/d4.exe" "The entry ends at or past 2^32"
cp "$work/abc.exe" "$work/d5.exe"
put32 "$work/d5.exe" $((table + 12)) 3
damaged "an entry ending in its name" "$work/d5.exe" "The entry ends before its name does"
cp "$work/abc.exe" "$work/d6.exe"
put32 "$work/d6.exe" $((stream2 + 4)) $(($(u32 "$work/abc.exe" $((stream2 + 4))) + 1))
damaged "a wrong original size" "$work/d6.exe" \
  "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !"
cp "$work/abc.exe" "$work/d7.exe"
poke "$work/d7.exe" "$stream2" XXXX
damaged "an unknown method" "$work/d7.exe" "Lzrw1 decompression : input stream contains no valid header !"
check_eq "an unknown method: list shows it" unknown \
  "$("$vornix" list "$work/d7.exe" | awk '$6 == "two.txt" { print $2 }')"
pack -o "$work/abc-lzh.exe" --method lzh --no-checksums "${abc[@]}"
cp "$work/abc-lzh.exe" "$work/d8.exe"
put32 "$work/d8.exe" $((table + 12)) $(($(u32 "$work/abc-lzh.exe" $((table + 12))) - 100))
damaged "an LZH stream cut short" "$work/d8.exe" "LZH : Unexpected end of the code stream"
head -c $((table + 12)) "$work/abc.exe" > "$work/d9.exe"
"$vornix" verify "$work/d9.exe" > /dev/null 2> "$work/err"
check "a table cut short: verify exits 1" test $? -eq 1
check_eq "a table cut short: every entry named" "vornix: $work/d9.exe: entry 1 \"\": The entry ends past the end of the file
vornix: $work/d9.exe: entry 2 \"\": its slot in the entry table lies past the end of the file
vornix: $work/d9.exe: entry 3 \"\": its slot in the entry table lies past the end of the file" "$(cat "$work/err")"

# Checksums: a package without them says so; with them, verify and extract catch damage that
# decodes without complaint.
"$vornix" verify "$work/abc.exe" > "$work/stdout"
check "no checksums: verify says so" matches "$(cat "$work/stdout")" \
  "$work/abc.exe: all 3 entries decode to their stated sizes; the package carries no checksums (*"
check_eq "no checksums: list says so" "checksums: none: the package carries no checksums" \
  "$("$vornix" list "$work/abc.exe" | grep '^checksums:')"
pack -o "$work/sum.exe" --method lzrw "${abc[@]}"
table=$(table_of "$work/sum.exe")
stream3=$(($(u32 "$work/sum.exe" $((table + 16))) + 10))  # behind "three.txt" and its zero byte
end3=$(($(u32 "$work/sum.exe" $((table + 16))) + $(u32 "$work/sum.exe" $((table + 20)))))
sum_damaged() {  # sum_damaged NAME OFFSET MESSAGE EXTRACTED: one byte flipped
  cp "$work/sum.exe" "$work/s.exe"
  flip "$work/s.exe" "$2"
  "$vornix" verify "$work/s.exe" > /dev/null 2> "$work/err"
  check "$1: verify exits 1" test $? -eq 1
  check_eq "$1: verify names it" "vornix: $work/s.exe: $3" "$(cat "$work/err")"
  rm -rf "$work/x-s"
  "$vornix" extract "$work/s.exe" -d "$work/x-s" > /dev/null 2>&1
  check "$1: extract exits 1" test $? -eq 1
  check_eq "$1: extracted" "$4" "$(ls "$work/x-s" 2> /dev/null | tr '\n' ' ')"
}
# Noise is stored as it is: the flipped byte comes out flipped, and only the hash can tell.
sum_damaged "a stored byte" $((stream3 + 100)) 'entry 3 "three.txt": checksum mismatch' "one.txt two.txt "
sum_damaged "the title" $((base + 12 + 9)) \
  "The header, texts, entry table or entry names do not match their checksum" ""
sum_damaged "the checksum record" $((end3 + 20)) "The checksum record is damaged" ""
sum_damaged "the mark" $((base + 9)) "The header does not mark the checksum record that follows the entries" ""
cp "$work/abc.exe" "$work/s.exe"
poke "$work/s.exe" $((base + 9)) $'\x02'
"$vornix" verify "$work/s.exe" > /dev/null 2> "$work/err"
check_eq "a mark without a record: verify names it" "vornix: $work/s.exe: The checksum record is missing" \
  "$(cat "$work/err")"

printf 'just some text\n' > "$work/text-file.txt"
{ head -c "$base" /dev/zero; printf '\3\0\0\0\0\0\0\0\0\0\0\0'; } > "$work/version3.exe"
for command in list verify extract; do
  "$vornix" "$command" "$work/text-file.txt" > /dev/null 2> "$work/err"
  check "$command of a text file: exit code 1" test $? -eq 1
  check_eq "$command of a text file: message" "vornix: $work/text-file.txt: not a package (Stream read error)" \
    "$(cat "$work/err")"
done
"$vornix" verify "$work/version3.exe" > /dev/null 2> "$work/err"
check "version 3: exit code 1" test $? -eq 1
check_eq "version 3: message" "vornix: $work/version3.exe: not a package (Invalid Version)" "$(cat "$work/err")"
"$vornix" list "$work/absent.exe" > /dev/null 2> "$work/err"
check "missing package: exit code 1" test $? -eq 1
check_eq "missing package: message" "vornix: $work/absent.exe: cannot open the file" "$(cat "$work/err")"

# extract: never over an existing file unless forced, never outside its folder.
mkdir "$work/x-old"
printf 'old\n' > "$work/x-old/two.txt"
"$vornix" extract "$work/abc.exe" -d "$work/x-old" > /dev/null 2> "$work/err"
check "existing target: exit code 1" test $? -eq 1
check_eq "existing target: message" \
  "vornix: $work/x-old/two.txt: exists already; nothing was extracted (--force replaces it)" "$(cat "$work/err")"
check_eq "existing target: nothing else written" two.txt "$(ls -A "$work/x-old")"
check_eq "existing target: left as it was" old "$(cat "$work/x-old/two.txt")"
"$vornix" extract "$work/abc.exe" -d "$work/x-old" --force > "$work/stdout"
check "--force: exit code 0" test $? -eq 0
check_eq "--force: summary" "$work/abc.exe: 3 files extracted into $work/x-old" "$(cat "$work/stdout")"
for file in one.txt two.txt three.txt; do
  check "--force: $file" cmp -s "$work/in/$file" "$work/x-old/$file"
done

mkdir "$work/x-link" "$work/outside"
ln -s "$work/outside/one.txt" "$work/x-link/one.txt"
"$vornix" extract "$work/abc.exe" -d "$work/x-link" > /dev/null 2> "$work/err"
check "a dangling link is an existing target" test $? -eq 1 -a ! -e "$work/outside/one.txt"
"$vornix" extract "$work/abc.exe" -d "$work/x-link" --force > /dev/null
check "--force replaces the link, not its target" test -f "$work/x-link/one.txt" -a ! -L "$work/x-link/one.txt" \
  -a ! -e "$work/outside/one.txt"

mkdir -p "$work/x-folder/two.txt"
"$vornix" extract "$work/abc.exe" -d "$work/x-folder" --force > "$work/stdout" 2> "$work/err"
check "a folder in the way: exit code 1" test $? -eq 1
check_eq "a folder in the way: message" "vornix: $work/x-folder/two.txt: cannot replace it" "$(cat "$work/err")"
check "a folder in the way: the others extracted" cmp -s "$work/in/three.txt" "$work/x-folder/three.txt"
"$vornix" extract "$work/abc.exe" -d "$work/text-file.txt" > /dev/null 2> "$work/err"
check "a file as the folder: exit code 1" test $? -eq 1
check_eq "a file as the folder: message" "vornix: $work/text-file.txt: cannot create the folder" "$(cat "$work/err")"

"$vornix" extract "$work/abc.exe" -d "$work/deep/er/still" > /dev/null
check "missing folders are created" cmp -s "$work/in/three.txt" "$work/deep/er/still/three.txt"
mkdir "$work/here"
(cd "$work/here" && "$vornix" extract "$work/abc.exe" > /dev/null)
check_eq "the current folder by default" "one.txt three.txt two.txt " "$(ls "$work/here" | sort | tr '\n' ' ')"

"$vornix" extract "$work/d6.exe" -d "$work/x-bad" > "$work/stdout" 2> "$work/err"
check "a bad entry: exit code 1" test $? -eq 1
check_eq "a bad entry: message" \
  "vornix: $work/d6.exe: entry 2 \"two.txt\": Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !" \
  "$(cat "$work/err")"
check_eq "a bad entry leaves no file, the good ones are written" "one.txt three.txt " \
  "$(ls "$work/x-bad" | sort | tr '\n' ' ')"

# A package whose names were changed after packing, as a hostile one would be.
mkdir "$work/hostile"
printf 'fine\n' > "$work/hostile/ok.txt"
printf 'evil\n' > "$work/hostile/__Xevil"
printf 'up\n' > "$work/hostile/ab"
printf 'odd\n' > "$work/hostile/q.txt"
pack -o "$work/hostile.exe" --no-checksums "$work/hostile/ok.txt" "$work/hostile/__Xevil" "$work/hostile/ab" "$work/hostile/q.txt"
table=$(table_of "$work/hostile.exe")
poke "$work/hostile.exe" "$(u32 "$work/hostile.exe" $((table + 8)))" "../"
poke "$work/hostile.exe" "$(u32 "$work/hostile.exe" $((table + 16)))" ".."
poke "$work/hostile.exe" "$(u32 "$work/hostile.exe" $((table + 24)))" $'\x81'
mkdir "$work/jail"
"$vornix" extract "$work/hostile.exe" -d "$work/jail/d" > "$work/stdout" 2> "$work/err"
check "hostile names: exit code 1" test $? -eq 1
check_eq "hostile names: each reported" "vornix: $work/hostile.exe: entry 2 \"../evil\": the stub refuses its name: it holds a folder separator or a drive colon
vornix: $work/hostile.exe: entry 3 \"..\": the stub refuses its name: it names a folder
vornix: $work/hostile.exe: entry 4 \"$(printf '\xef\xbf\xbd').txt\": its name holds a byte that code page 1252 does not define" \
  "$(cat "$work/err")"
check_eq "hostile names: summary" "$work/hostile.exe: 3 of 4 entries failed" "$(cat "$work/stdout")"
check_eq "hostile names: nothing outside the folder" d "$(ls -A "$work/jail")"
check_eq "hostile names: only the good entry written" ok.txt "$(ls -A "$work/jail/d")"
"$vornix" verify "$work/hostile.exe" > /dev/null 2> "$work/err"
check "hostile names: verify exits 1" test $? -eq 1
check "hostile names: verify names entries 2 and 3" \
  test "$(grep -c -e 'entry 2 "\.\./evil"' -e 'entry 3 "\.\."' "$work/err")" -eq 2

# An empty -d is no folder name; it must not stand for the root folder. The entry is named like a
# folder the root holds, so that a faulty tool refuses rather than writes there.
if [ -d /usr ]; then
  printf 'not in the root\n' > "$work/in/usr"
  pack -o "$work/usr.exe" "$work/in/usr"
  "$vornix" extract "$work/usr.exe" -d "" > /dev/null 2> "$work/err"
  check "extract -d '' is a usage error" test $? -eq 2
  check "extract -d '' message" test "$(cat "$work/err")" = \
    "vornix extract: --directory needs a folder name (try 'vornix extract --help')"
fi

# list --json.
cp "$work/in/text.txt" "$work/in/text.cmd"
pack -o "$work/json.exe" --method lzh --title 'Say "hi" \o/' --note $'tab\there\nline' --run TEXT.CMD \
  "$work/in/small.txt" "$work/in/text.cmd" "$work/in/Grüße.txt"
"$vornix" list --json "$work/json.exe" > "$work/json.txt"
check "list --json exits 0" test $? -eq 0
for file in small.txt text.cmd Grüße.txt; do
  check "list --json: $file with its method and size" \
    grep -qF "{\"name\": \"$file\", \"method\": \"LZH\", \"size\": $(stat -c %s "$work/in/$file")," "$work/json.txt"
  # The hash as xxHash's own xxhsum gives it for the file.
  check "list --json: $file with its XXH32" \
    grep -qF "\"xxh32\": \"$(xxhsum -H0 "$work/in/$file" | cut -d' ' -f1)\"" "$work/json.txt"
done
if command -v python3 > /dev/null; then
  check "list --json parses, texts escaped" python3 - "$work/json.txt" << 'EOF'
import json, sys
with open(sys.argv[1], encoding="utf-8") as f:
    package = json.load(f)
assert package["title"] == 'Say "hi" \\o/', package["title"]
assert package["note"] == "tab\there\r\nline", package["note"]
assert (package["run"], package["run_index"], package["flags"]) == ("text.cmd", 1, 3)
assert (package["checksums"], package["checksum_problem"]) == (True, None)
assert [e["name"] for e in package["entries"]] == ["small.txt", "text.cmd", "Grüße.txt"]
assert all(e["problem"] is None for e in package["entries"])
EOF
fi

finish
