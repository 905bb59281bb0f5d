#!/usr/bin/env bash
# Installs, from Debian's packages, everything the native and the Windows builds, the tests (under
# Wine and Xvfb), the fuzzers and the benchmark need, including the packages the benchmark corpus is
# made from. Does nothing when all are there.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest  # build, tests, fuzzers
  zlib1g-dev liblz4-dev libzstd-dev valgrind                               # benchmark and its peers
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64          # the Windows build, run under Wine
  xvfb xauth x11-apps imagemagick                                          # windows, message boxes, screenshots
  fonts-wine                                        # the only fonts Wine draws with here (cmake/wine-env.sh)
  libxxhash-dev xxhash osslsigncode openssl         # the packages' checksums; signed packages in the tests
  wixl                                              # a Windows Installer package for the stub tests
  icoutils python3-pefile libpng-dev                # publishers' icons; the packages' PE headers read back
  help2man man-db                                   # the manual page, made from vornix --help, and man -l
  # the benchmark corpus: Windows programs and libraries (Wine's, above), headers, manuals, icons, fonts
  libwine:i386 libwine:amd64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  mingw-w64-common gcc-mingw-w64-base manpages manpages-dev adwaita-icon-theme fonts-dejavu-core
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
# A mirror in the middle of a sync fails an index now and then: try again, and in the end install from
# the indexes there are, which fails clearly if a package is not among them.
for attempt in 1 2 3; do
  $sudo apt-get update -qq && break
  echo "setup: apt-get update failed (attempt $attempt of 3)" >&2
  [ "$attempt" -lt 3 ] && sleep 15
done
install() { DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@" > /dev/null; }
# When the security index of one architecture lags behind the other's, a library that must have the
# same version on both (libzstd1 for wine32) cannot be resolved: take the release's own versions then.
release=$(. /etc/os-release && echo "$VERSION_CODENAME")
install "${missing[@]}" || {
  echo "setup: retrying with the packages of $release itself" >&2
  install -t "$release" --allow-downgrades "${missing[@]}"
}
