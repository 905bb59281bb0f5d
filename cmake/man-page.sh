#!/usr/bin/env bash
# man-page.sh HELP2MAN VORNIX OUT: the manual page vornix.1, made by help2man from `vornix --help`
# and `vornix --version`, with one section for each command's own --help.
set -euo pipefail
help2man=$1
vornix=$2
out=$3
include=$(mktemp)
trap 'rm -f "$include"' EXIT
for command in pack list verify extract compress decompress; do
  title=$(echo "$command" | tr '[:lower:]' '[:upper:]')
  # help2man's include format: "[SECTION]" then roff text; a leading dot or quote would be a request.
  { echo "[VORNIX $title]"; echo ".nf"; "$vornix" "$command" --help | sed -e 's/\\/\\e/g' -e "s/^[.']/\\\\\&&/"; echo ".fi"; } \
    >> "$include"
done
"$help2man" --no-info --no-discard-stderr --section 1 \
  --name "build, inspect and unpack self-extracting packages for Windows" --include "$include" \
  --output "$out" "$vornix"
