# The Wine environment of every Windows run of this project (tests, demo, benchmarks), sourced by
# the scripts that start Wine: which lanes the host can run, each lane's loader, and the prefixes
# with the project's fonts.
#
# Lanes. The x86 lane runs the 32-bit Windows build with Wine's 32-bit loader (in a 64-bit prefix,
# as 32-bit programs run on 64-bit Windows); the x64 lane runs the 64-bit build with the 64-bit
# loader. Debian's `wine` script takes the 32-bit loader whenever it is installed, so the scripts
# call the lane's loader directly (`wine` below). A kernel without IA32 emulation runs no 32-bit
# program at all, Wine's 32-bit loader and wineserver32 included ("Exec format error"): there only
# the x64 lane runs. VORNIX_NO_32BIT=1 makes a host that can run them behave like one that cannot.
#
# Fonts. Wine takes its fonts from the host's fontconfig unless told otherwise, so two machines with
# different font packages would draw different pixels: here fontconfig sees no fonts at all
# (cmake/wine-fonts.conf), and each prefix gets the fonts of Debian's fonts-wine, Wine's own clones
# of the Windows faces, in C:\windows\Fonts: "MS Sans Serif" is the raster sserife.fon with
# Windows' metrics, the message boxes' "MS Shell Dlg" is Tahoma, the caption buttons Marlett.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export FONTCONFIG_FILE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-fonts.conf"

vornix_wine_fonts=/usr/share/wine/fonts

# wine_host_lanes: sets and exports VORNIX_WINE_LANES, the lanes this host runs ("x86 x64" or
# "x64"), and VORNIX_NO_X86_REASON when the x86 lane is out. Found once: the scripts and tests
# started from here inherit the answer.
wine_host_lanes() {
  if [ -z "${VORNIX_WINE_LANES:-}" ]; then
    if [ "${VORNIX_NO_32BIT:-0}" = 1 ]; then
      VORNIX_WINE_LANES=x64
      VORNIX_NO_X86_REASON="VORNIX_NO_32BIT=1 says to behave as a host that runs no 32-bit program"
    elif /usr/lib/wine/wineserver32 --version > /dev/null 2>&1; then
      VORNIX_WINE_LANES="x86 x64"
    else
      VORNIX_WINE_LANES=x64
      VORNIX_NO_X86_REASON="this host runs no 32-bit program (/usr/lib/wine/wineserver32: Exec format error)"
    fi
  fi
  export VORNIX_WINE_LANES VORNIX_NO_X86_REASON
}

# wine_runs_lane LANE: whether this host runs LANE.
wine_runs_lane() {
  wine_host_lanes
  case " $VORNIX_WINE_LANES " in *" $1 "*) return 0 ;; *) return 1 ;; esac
}

# wine_lane LANE: every `wine` started from here on, and every Windows program those start, is of
# LANE (x86 or x64).
wine_lane() {
  case $1 in
    x86) export VORNIX_WINE_LANE=x86 VORNIX_WINE=/usr/lib/wine/wine; unset WINELOADER ;;
    x64) export VORNIX_WINE_LANE=x64 VORNIX_WINE=/usr/lib/wine/wine64 WINELOADER=/usr/lib/wine/wine64 ;;
    *) echo "wine-env: no lane \"$1\" (x86 or x64)" >&2; return 1 ;;
  esac
}

wine() { "$VORNIX_WINE" "$@"; }

# wine_lane_build LANE BASE: sets lane_toolchain, the toolchain file of LANE's Windows build, and
# lane_build, its build folder: BASE for the x86 lane, BASE64 for the x64 lane.
wine_lane_build() {
  case $1 in
    x86) lane_toolchain=cmake/toolchain-i686-w64-mingw32.cmake lane_build=$2 ;;
    x64) lane_toolchain=cmake/toolchain-x86_64-w64-mingw32.cmake lane_build=${2}64 ;;
  esac
}

# wine_say_lanes WHAT: one line saying that WHAT leaves out the x86 lane, and why, on a host that
# runs no 32-bit program.
wine_say_lanes() {
  wine_runs_lane x86 || echo "$1: the x86 lane (the 32-bit stub) is not run: $VORNIX_NO_X86_REASON; the x64 lane is."
}

# wine_prefix_ready PREFIX [SETUP]: creates the prefix with its fonts, with the current lane's
# loader, unless it is there and made the same way; SETUP, a command or function, runs once in a
# new prefix before the marker is written. ctest may start several programs at once: only one of
# them creates the prefix. The marker, not the registry files, says the prefix is complete: a
# persistent wineserver may keep those unwritten for a while. A prefix made by the other lane's
# loader, or with another font set (or none), is made anew.
wine_prefix_ready() {
  local prefix=$1 setup=${2:-}
  local kind="fonts-wine $(dpkg-query -W -f='${Version}' fonts-wine 2> /dev/null), $VORNIX_WINE_LANE loader"
  [ "$(cat "$prefix/.ready" 2> /dev/null)" = "$kind" ] && return 0
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ "$(cat "$prefix/.ready" 2> /dev/null)" != "$kind" ]; then
      [ -d "$vornix_wine_fonts" ] || { echo "wine-env: $vornix_wine_fonts is missing (bash scripts/setup.sh)" >&2; exit 1; }
      WINEPREFIX=$prefix wineserver -k 2> /dev/null || true
      rm -rf "$prefix"
      mkdir -p "$prefix"
      if ! WINEPREFIX=$prefix wine wineboot -i > "$prefix.log" 2>&1; then
        echo "wine-env: $VORNIX_WINE wineboot -i failed for $prefix:" >&2
        cat "$prefix.log" >&2
        exit 1
      fi
      cp "$vornix_wine_fonts"/* "$prefix/drive_c/windows/Fonts/"
      if [ -n "$setup" ]; then WINEPREFIX=$prefix "$setup"; fi
      echo "$kind" > "$prefix/.ready"
    fi
  ) 9> "$prefix.lock"
}

# wine_virtual_desktop: a SETUP for wine_prefix_ready. A Wine virtual desktop (1024x768) draws the
# windows' frames, title bars and their icons, which plain Xvfb (no window manager) leaves out of
# the screen.
wine_virtual_desktop() {
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f > /dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f > /dev/null 2>&1
  wineserver -w
}

# Until a script chooses, the lane chosen before, or else the first one this host runs.
wine_host_lanes
wine_lane "${VORNIX_WINE_LANE:-${VORNIX_WINE_LANES%% *}}"
