# The stub that `vornix pack` carries. The Windows build takes the stub it builds itself. A native
# build takes VORNIX_STUB when given, or else cross-builds the stub with MinGW-w64 (a build of its
# own in stub-windows/, only the stub target); without MinGW the program carries no stub and pack
# needs --stub. Provides VORNIX_EMBEDDED_STUB_SOURCE and, when a stub is carried, VORNIX_STUB_FILE.
option(VORNIX_EMBED_STUB "Cross-build the stub into the native vornix program" ON)
set(VORNIX_STUB "" CACHE FILEPATH "A stub for the native vornix program to carry, instead of building one")

set(VORNIX_EMBEDDED_STUB_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/embedded_stub.cpp)
set(VORNIX_STUB_FILE "")
set(stub_dependency "")
if(WIN32)
  set(VORNIX_STUB_FILE $<TARGET_FILE:vornix_stub>)
  set(stub_dependency vornix_stub)
elseif(VORNIX_STUB)
  set(VORNIX_STUB_FILE ${VORNIX_STUB})
  set(stub_dependency ${VORNIX_STUB})
elseif(VORNIX_EMBED_STUB)
  find_program(VORNIX_MINGW_CXX i686-w64-mingw32-g++-posix)
  if(VORNIX_MINGW_CXX)
    include(ExternalProject)
    set(stub_build ${CMAKE_BINARY_DIR}/stub-windows)
    set(VORNIX_STUB_FILE ${stub_build}/app/vornix_stub.exe)
    ExternalProject_Add(vornix_stub_windows
      SOURCE_DIR ${PROJECT_SOURCE_DIR}
      BINARY_DIR ${stub_build}
      CMAKE_GENERATOR ${CMAKE_GENERATOR}
      CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-i686-w64-mingw32.cmake
                 -DCMAKE_BUILD_TYPE=Release -DVORNIX_BUILD_TESTS=OFF
      BUILD_COMMAND ${CMAKE_COMMAND} --build ${stub_build} --target vornix_stub
      INSTALL_COMMAND ""
      BUILD_ALWAYS ON
      BUILD_BYPRODUCTS ${VORNIX_STUB_FILE})
    set(stub_dependency vornix_stub_windows ${VORNIX_STUB_FILE})
  else()
    message(STATUS "vornix: no MinGW-w64 compiler; the vornix program carries no stub")
  endif()
endif()

add_custom_command(OUTPUT ${VORNIX_EMBEDDED_STUB_SOURCE}
  COMMAND ${CMAKE_COMMAND} -DSTUB=${VORNIX_STUB_FILE} -DOUTPUT=${VORNIX_EMBEDDED_STUB_SOURCE}
          -P ${PROJECT_SOURCE_DIR}/cmake/embed-stub.cmake
  DEPENDS ${stub_dependency} ${PROJECT_SOURCE_DIR}/cmake/embed-stub.cmake
  COMMENT "Embedding the stub in the vornix program"
  VERBATIM)
