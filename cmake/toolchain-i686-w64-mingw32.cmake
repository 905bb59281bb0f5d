# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 (i686): the default stub, which runs on
# every Windows. Its tests run in Wine's x86 lane.
set(VORNIX_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VORNIX_WINE_LANE x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
