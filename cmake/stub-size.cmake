# vornix_for_size(TARGET...): builds the targets for size in the Windows build, where the stub is
# made. The stub's own code (the window, the package's layout and checksum, the unpacking's steps,
# the threads, the process watch) is most of its size, and the stub must leave room for a
# publisher's resources; the codecs, where an unpacking spends its time, keep the build's
# optimisation for speed. (Built so, the stub unpacks a 52 MB package under Wine as fast as before.)
function(vornix_for_size)
  if(NOT WIN32)
    return()
  endif()
  foreach(target ${ARGN})
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
      target_compile_options(${target} PRIVATE -Os)
    elseif(MSVC)
      target_compile_options(${target} PRIVATE /O1)
    endif()
  endforeach()
endfunction()
