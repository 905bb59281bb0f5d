# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (x86_64): the stub for Windows without
# its 32-bit subsystem (Server Core without WoW64, Windows PE). Its tests run in Wine's x64 lane.
set(VORNIX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VORNIX_WINE_LANE x64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
