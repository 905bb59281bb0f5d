#!/usr/bin/env bash
# stub-sections.sh LD OUT: writes to OUT the linker's own script for Windows executables with three
# of its small sections folded into others: the C runtime's start-up tables (.CRT, 48 bytes in the
# 32-bit stub) and the thread-local template (.tls, 8 bytes) into .data, and the unwind tables
# (.eh_frame) into .rdata. The file holds each section in whole steps of 512 bytes, so each of these
# took a step of its own, and the room left for a publisher's resources is what the stub's sections
# leave. The template goes first in .data, where the section-relative offsets of thread-local data
# expect it; the unwind tables keep their order, the start-up objects' frame first. The script is
# made from the linker's own, so it follows the installed binutils.
set -euo pipefail
ld=$1
out=$2
# The default script lies between two lines of "=" in the linker's verbose output. awk reads it
# twice: first to take the bodies of the sections to fold, then to write it with them folded.
"$ld" --verbose | sed -n '/^=======/,/^=======/p' | sed '1d;$d' > "$out.default"
awk '
  FNR == NR {
    if (match($0, /^  \.(CRT|tls|eh_frame) BLOCK\(__section_alignment__\) :$/)) {
      name = $1
      inside = 1
      next
    }
    if (inside && $0 == "  }") { inside = 0; next }
    if (inside && $0 != "  {") body[name] = body[name] $0 "\n"
    next
  }
  /^  \.(CRT|tls|eh_frame) BLOCK\(__section_alignment__\) :$/ { skipping = 1; next }
  skipping { if ($0 == "  }") skipping = 0; next }
  /^  \.(data|rdata) BLOCK\(__section_alignment__\) :$/ { target = $1 }
  target != "" && $0 == "  {" {
    print
    printf "%s", target == ".data" ? body[".tls"] : body[".eh_frame"]
    next
  }
  # The bounds of the thread-local initialisers (.CRT$XDA, .CRT$XDZ), which the script leaves to
  # the section of their name, follow the tables.
  target == ".data" && $0 == "  }" { printf "%s    KEEP (*(SORT(.CRT$XD*)))\n", body[".CRT"] }
  target != "" && $0 == "  }" { target = "" }
  { print }
' "$out.default" "$out.default" > "$out.tmp"
rm "$out.default"
for section in .CRT .tls .eh_frame; do
  if grep -q "^  \\$section BLOCK" "$out.tmp"; then
    echo "error: $section was not folded" >&2
    exit 1
  fi
done
mv "$out.tmp" "$out"
