# The part of the Windows toolchain files that both architectures share: included by
# toolchain-i686-w64-mingw32.cmake (the 32-bit stub, the default) and toolchain-x86_64-w64-mingw32.cmake
# (the 64-bit one), which set VORNIX_MINGW_TRIPLE, CMAKE_SYSTEM_PROCESSOR and VORNIX_WINE_LANE first.
# The Windows programs that ctest starts run under Wine, in a prefix of the build tree, with the
# loader of the build's lane (cmake/wine-run.sh, cmake/wine-env.sh).
#
# The -posix compilers are used because GoogleTest needs std::mutex. Executables are linked
# statically (no MinGW runtime DLL on the target) and stripped. Neither functions nor data get
# sections of their own: the PE linker keeps the unwind tables whole, and they refer to every
# function, so none could be dropped, while each section would carry its own copy of the tables'
# common header (512 bytes more in the 32-bit stub); and a variable in a section of its own is
# stored in the file even when it starts as zeros (TempFolder's 288 bytes, among others), where
# .bss takes no room.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VORNIX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORNIX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORNIX_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VORNIX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No link time in the PE header: the same sources give the same stub, byte for byte, and so the same
# packages.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -s -Wl,--gc-sections -Wl,--no-insert-timestamp")

set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${VORNIX_WINE_LANE};${CMAKE_BINARY_DIR}/wineprefix")
