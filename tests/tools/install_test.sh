#!/usr/bin/env bash
# cmake --install of a native build into a fresh prefix gives exactly the program, its manual page
# (which man renders) and the two format documents, and the installed program runs.
# usage: install_test.sh BUILD_DIR
set -u
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"

cmake --install "$build" --prefix "$prefix" > /dev/null
check "cmake --install exits 0" test $? -eq 0
check_eq "what is installed" \
  "bin/vornix share/doc/vornix/container-format.md share/doc/vornix/package-format.md share/man/man1/vornix.1" \
  "$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ' | sed 's/ $//')"
check_eq "the installed program names itself" "vornix (Quorrin Vornix) 1.0" "$("$prefix/bin/vornix" --version)"
MANPAGER=cat MANWIDTH=100 man -l "$prefix/share/man/man1/vornix.1" > "$prefix/man.txt" 2> "$prefix/man-errors.txt"
check "man renders the page without complaint" test $? -eq 0 -a ! -s "$prefix/man-errors.txt"
check "the page names the program" grep -q "vornix - build, inspect and unpack self-extracting packages for Windows" \
  "$prefix/man.txt"
for command in PACK LIST VERIFY EXTRACT; do
  check "the page holds the $command section" grep -q "^VORNIX $command" "$prefix/man.txt"
done
check "the page gives pack's options" grep -q -- "--product-version V" "$prefix/man.txt"
finish
