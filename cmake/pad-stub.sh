#!/usr/bin/env bash
# pad-stub.sh STUB OFFSET: the package is appended at the fixed file offset OFFSET, so the stub
# must not be longer; it is padded with zero bytes to exactly that length. Prints the stub's own
# size before padding and fails, naming both numbers, when the stub has grown past the offset.
set -euo pipefail
stub=$1
offset=$2
size=$(stat -c %s "$stub")
if [ "$size" -gt "$offset" ]; then
  echo "error: the stub is $size bytes, larger than the package offset $offset; make it smaller or raise" \
    "PackageOffset in package/package_layout.h" >&2
  rm -f "$stub"
  exit 1
fi
echo "$size" > "$stub.size"
truncate -s "$offset" "$stub"
echo "stub: $size bytes, padded to $offset"
