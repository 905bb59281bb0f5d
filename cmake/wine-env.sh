# The Wine environment of every Windows run of this project (tests, demo, benchmarks), sourced by
# the scripts that start Wine. Wine takes its fonts from the host's fontconfig unless told otherwise,
# so two machines with different font packages would draw different pixels: here fontconfig sees no
# fonts at all (cmake/wine-fonts.conf), and each prefix gets the fonts of Debian's fonts-wine, Wine's
# own clones of the Windows faces, in C:\windows\Fonts: "MS Sans Serif" is the raster sserife.fon
# with Windows' metrics, the message boxes' "MS Shell Dlg" is Tahoma, the caption buttons Marlett.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export FONTCONFIG_FILE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-fonts.conf"

vornix_wine_fonts=/usr/share/wine/fonts
# Written into the marker: a prefix made with another font set (or none) is made anew.
vornix_prefix_kind="fonts-wine $(dpkg-query -W -f='${Version}' fonts-wine 2> /dev/null)"

# wine_prefix_ready PREFIX [SETUP]: creates the prefix with its fonts unless it is there and made
# the same way; SETUP, a command or function, runs once in a new prefix before the marker is
# written. ctest may start several programs at once: only one of them creates the prefix. The
# marker, not the registry files, says the prefix is complete: a persistent wineserver may keep
# those unwritten for a while.
wine_prefix_ready() {
  local prefix=$1 setup=${2:-}
  [ "$(cat "$prefix/.ready" 2> /dev/null)" = "$vornix_prefix_kind" ] && return 0
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ "$(cat "$prefix/.ready" 2> /dev/null)" != "$vornix_prefix_kind" ]; then
      [ -d "$vornix_wine_fonts" ] || { echo "wine-env: $vornix_wine_fonts is missing (bash scripts/setup.sh)" >&2; exit 1; }
      WINEPREFIX=$prefix wineserver -k 2> /dev/null || true
      rm -rf "$prefix"
      mkdir -p "$prefix"
      WINEPREFIX=$prefix wineboot -i > /dev/null 2>&1
      cp "$vornix_wine_fonts"/* "$prefix/drive_c/windows/Fonts/"
      if [ -n "$setup" ]; then WINEPREFIX=$prefix "$setup"; fi
      echo "$vornix_prefix_kind" > "$prefix/.ready"
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
