# Makes the stub's icon from its text picture during the Windows cross-build: make_icon is
# compiled with the build machine's own C++ compiler (it runs here, not on Windows) and turns
# vornix_icon.txt into vornix.ico. Included from app/CMakeLists.txt, so CMAKE_CURRENT_BINARY_DIR is
# app's build directory; the sources are found next to this file.
#
# Provides VORNIX_ICON_FILE (full path of the generated .ico) and the target vornix_icon.

# The toolchain file sets CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER, so this finds the host compiler.
find_program(VORNIX_HOST_CXX NAMES g++ c++ REQUIRED)

set(VORNIX_MAKE_ICON "${CMAKE_CURRENT_BINARY_DIR}/make_icon")
set(VORNIX_ICON_FILE "${CMAKE_CURRENT_BINARY_DIR}/vornix.ico")

# A plain path as COMMAND (not an executable target) also keeps CMake from running make_icon
# through the cross-compiling emulator.
add_custom_command(
  OUTPUT "${VORNIX_MAKE_ICON}"
  COMMAND "${VORNIX_HOST_CXX}" -std=c++17 -O2 -Wall -Wextra -Wpedantic -Werror
          -o "${VORNIX_MAKE_ICON}" "${CMAKE_CURRENT_LIST_DIR}/make_icon.cpp"
  DEPENDS "${CMAKE_CURRENT_LIST_DIR}/make_icon.cpp"
  COMMENT "Building the host tool make_icon"
  VERBATIM)

add_custom_command(
  OUTPUT "${VORNIX_ICON_FILE}"
  COMMAND "${VORNIX_MAKE_ICON}" "${CMAKE_CURRENT_LIST_DIR}/vornix_icon.txt" "${VORNIX_ICON_FILE}"
  DEPENDS "${VORNIX_MAKE_ICON}" "${CMAKE_CURRENT_LIST_DIR}/vornix_icon.txt" "${CMAKE_CURRENT_LIST_DIR}/make_icon.cpp"
  COMMENT "Generating vornix.ico"
  VERBATIM)

add_custom_target(vornix_icon DEPENDS "${VORNIX_ICON_FILE}")
