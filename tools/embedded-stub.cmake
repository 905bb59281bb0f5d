# The stubs that `vornix pack` carries: the 32-bit one (x86, MinGW-w64 i686) and the 64-bit one
# (x64, MinGW-w64 x86_64), built from the same sources. A Windows build takes the stub it builds
# itself for its own architecture. For every other, a build takes VORNIX_STUB_X86 / VORNIX_STUB_X64
# when given, or else cross-builds the stub (a build of its own in stub-<arch>/, only the stub
# target); without that MinGW-w64 compiler the program does not carry that stub, and pack asks for
# --stub when it is chosen. Provides VORNIX_EMBEDDED_STUB_SOURCE and VORNIX_STUB_FILE_X86 /
# VORNIX_STUB_FILE_X64, each empty when that stub is not carried.
option(VORNIX_EMBED_STUB "Cross-build the stubs into the vornix program" ON)
set(VORNIX_STUB_X86 "" CACHE FILEPATH "A 32-bit stub for the vornix program to carry, instead of building one")
set(VORNIX_STUB_X64 "" CACHE FILEPATH "A 64-bit stub for the vornix program to carry, instead of building one")

set(VORNIX_EMBEDDED_STUB_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/embedded_stub.cpp)
set(stub_dependencies "")
foreach(arch x86 x64)
  string(TOUPPER ${arch} upper)
  if(arch STREQUAL "x86")
    set(triple i686-w64-mingw32)
  else()
    set(triple x86_64-w64-mingw32)
  endif()
  set(VORNIX_STUB_FILE_${upper} "")
  if(WIN32 AND VORNIX_WINE_LANE STREQUAL arch)
    set(VORNIX_STUB_FILE_${upper} $<TARGET_FILE:vornix_stub>)
    list(APPEND stub_dependencies vornix_stub)
  elseif(VORNIX_STUB_${upper})
    set(VORNIX_STUB_FILE_${upper} ${VORNIX_STUB_${upper}})
    list(APPEND stub_dependencies ${VORNIX_STUB_${upper}})
  elseif(VORNIX_EMBED_STUB)
    find_program(VORNIX_MINGW_CXX_${upper} ${triple}-g++-posix)
    if(VORNIX_MINGW_CXX_${upper})
      include(ExternalProject)
      set(stub_build ${CMAKE_BINARY_DIR}/stub-${arch})
      set(VORNIX_STUB_FILE_${upper} ${stub_build}/app/vornix_stub.exe)
      ExternalProject_Add(vornix_stub_${arch}
        SOURCE_DIR ${PROJECT_SOURCE_DIR}
        BINARY_DIR ${stub_build}
        CMAKE_GENERATOR ${CMAKE_GENERATOR}
        CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-${triple}.cmake
                   -DCMAKE_BUILD_TYPE=Release -DVORNIX_BUILD_TESTS=OFF -DVORNIX_EMBED_STUB=OFF
        BUILD_COMMAND ${CMAKE_COMMAND} --build ${stub_build} --target vornix_stub
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS ${VORNIX_STUB_FILE_${upper}})
      list(APPEND stub_dependencies vornix_stub_${arch} ${VORNIX_STUB_FILE_${upper}})
    else()
      message(STATUS "vornix: no ${triple}-g++-posix; the vornix program carries no ${arch} stub")
    endif()
  endif()
endforeach()

add_custom_command(OUTPUT ${VORNIX_EMBEDDED_STUB_SOURCE}
  COMMAND ${CMAKE_COMMAND} -DSTUB_X86=${VORNIX_STUB_FILE_X86} -DSTUB_X64=${VORNIX_STUB_FILE_X64}
          -DOUTPUT=${VORNIX_EMBEDDED_STUB_SOURCE} -P ${PROJECT_SOURCE_DIR}/cmake/embed-stub.cmake
  DEPENDS ${stub_dependencies} ${PROJECT_SOURCE_DIR}/cmake/embed-stub.cmake
  COMMENT "Embedding the stubs in the vornix program"
  VERBATIM)
