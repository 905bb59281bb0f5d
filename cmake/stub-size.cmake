# How the code the stub is made of is built in the Windows build, where the stub is made; the stub
# must leave room for a publisher's resources (an icon of 200 KB).
#
# vornix_stub_code(TARGET...): built as C++20, whose library makes only the std::string members a
# program uses; under C++17 every user of std::string links the library's whole prebuilt string
# (about 21 KB in the 32-bit stub). The codecs are built so; their decoding loops, where an unpacking
# spends its time, keep the build's optimisation for speed (compression/CMakeLists.txt).
#
# vornix_for_size(TARGET...): the same, and optimised for size: the stub's own code (the window, the
# package's layout and checksum, the unpacking's steps, the threads, the process watch) is most of
# its size. (Built so, the stub unpacks a 52 MB package under Wine as fast as before.)
function(vornix_stub_code)
  if(NOT WIN32)
    return()
  endif()
  foreach(target ${ARGN})
    set_property(TARGET ${target} PROPERTY CXX_STANDARD 20)
  endforeach()
endfunction()

function(vornix_for_size)
  if(NOT WIN32)
    return()
  endif()
  vornix_stub_code(${ARGN})
  foreach(target ${ARGN})
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
      target_compile_options(${target} PRIVATE -Os)
    elseif(MSVC)
      target_compile_options(${target} PRIVATE /O1)
    endif()
  endforeach()
endfunction()
