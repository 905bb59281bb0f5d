#!/usr/bin/env bash
# The Windows build of vornix packs under Wine and the Linux build reads the result: verify, list
# and extract agree with the inputs byte for byte, and the Linux build packing the same files with
# the same options writes the very same package, with either stub. The package format must not
# depend on the platform that wrote it.
# usage: cross_pack_test.sh NATIVE_VORNIX WINDOWS_VORNIX_EXE STUB ARCH RUNNER...
#   STUB is the stub the Windows program carries for ARCH (x86 or x64, the build's own); RUNNER runs
#   a Windows program (wine-run.sh LANE PREFIX).
set -u
native=$1
windows=$2
stub=$3
arch=$4
shift 4
runner=("$@")
# Wine reads the arguments of a Windows program in the locale's encoding: a UTF-8 name arrives
# intact only in a UTF-8 locale.
export LC_ALL=C.UTF-8
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"

# The Windows program sees the Linux folder through drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

mkdir "$work/in"
{ for i in $(seq 1 2000); do echo "line $i of the cross-platform input, with some repeated words"; done; } \
  > "$work/in/text.cmd"
head -c 200000 /dev/urandom > "$work/in/random.bin"
: > "$work/in/empty.bin"
printf 'Grüße aus Wien\n%.0s' $(seq 1 300) > "$work/in/Grüße.txt"
names=(text.cmd random.bin empty.bin Grüße.txt)

for method in lzh lzrw auto; do
  options=(pack --quiet --title "Cross $method" --publisher "Vornix tests" --note "Packed on Windows" --run text.cmd
           --method "$method")
  windows_inputs=()
  native_inputs=()
  for name in "${names[@]}"; do
    windows_inputs+=("$(windows_path "$work/in/$name")")
    native_inputs+=("$work/in/$name")
  done
  package=$work/windows-$method.exe
  "${runner[@]}" "$windows" "${options[@]}" --arch "$arch" -o "$(windows_path "$package")" "${windows_inputs[@]}" > "$work/out"
  check "$method: the Windows pack exits 0" test $? -eq 0
  check "$method: the Windows pack prints nothing with --quiet" test ! -s "$work/out"

  "$native" verify "$package" > "$work/out"
  check "$method: verify exits 0" test $? -eq 0
  "$native" list "$package" > "$work/list"
  check "$method: list exits 0" test $? -eq 0
  check "$method: list shows the $arch stub" grep -q "^stub:      $arch " "$work/list"
  check "$method: list shows the title" grep -qx "title:     Cross $method" "$work/list"
  check "$method: list shows the entry to run" grep -qx "run:       text.cmd (entry 1) after unpacking" "$work/list"
  for i in "${!names[@]}"; do
    name=${names[$i]}
    size=$(stat -c %s "$work/in/$name")
    case $method in
      lzh) shown=LZH ;;
      lzrw) shown=LZRW1/KH ;;
      auto) shown='(LZH|LZRW1/KH)' ;;
    esac
    check "$method: list shows $name" grep -Eq "^ +$((i + 1))  $shown +$size +[0-9]+ +[^ ]+  $name\$" "$work/list"
  done

  "$native" extract "$package" -d "$work/extract-$method" > /dev/null
  check "$method: extract exits 0" test $? -eq 0
  check "$method: extract writes exactly the packed files" test "$(ls "$work/extract-$method" | sort)" = \
    "$(printf '%s\n' "${names[@]}" | sort)"
  for name in "${names[@]}"; do
    check "$method: $name extracted byte for byte" cmp -s "$work/in/$name" "$work/extract-$method/$name"
  done

  "$native" "${options[@]}" --stub "$stub" -o "$work/native-$method.exe" "${native_inputs[@]}"
  check "$method: the Linux pack exits 0" test $? -eq 0
  # The Linux program packs the Windows build's stub, named with --stub; the Windows program its own
  # carried stub: equal bytes also show that it carries that stub and brands it the same way.
  check "$method: the Linux and Windows packages are the same bytes" cmp "$package" "$work/native-$method.exe"
done
check "the methods give different packages" test -n "$(cmp "$work/windows-lzh.exe" "$work/windows-lzrw.exe")"

# The Windows program carries the other architecture's stub too, the same as the Linux program's.
other=$([ "$arch" = x86 ] && echo x64 || echo x86)
options=(pack --quiet --title Other --publisher "Vornix tests" --note "The other stub" --arch "$other")
"${runner[@]}" "$windows" "${options[@]}" -o "$(windows_path "$work/windows-$other.exe")" \
  "$(windows_path "$work/in/text.cmd")" > /dev/null
check "--arch $other: the Windows pack exits 0" test $? -eq 0
"$native" "${options[@]}" -o "$work/native-$other.exe" "$work/in/text.cmd"
check "--arch $other: list shows the $other stub" grep -q "^stub:      $other " <("$native" list "$work/windows-$other.exe")
check "--arch $other: the Linux and Windows packages are the same bytes" \
  cmp "$work/windows-$other.exe" "$work/native-$other.exe"

finish
