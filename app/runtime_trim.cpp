// What the C++ runtime would link into the stub for nothing it uses.
// - GCC's runtime ends an uncaught exception through its verbose terminate handler, which prints
//   the exception's type and so pulls in the whole C++ demangler (about 46 KB). The stub catches
//   every exception where it can arise, and a GUI program that still meets one has nobody to print
//   to: the handler defined here takes the place of the runtime's.
// - The library's containers report misuse (a length past max_size(), a position past the end)
//   through the std::__throw_* functions. The runtime's own throw std::length_error and its kin,
//   whose strings are the old copy-on-write kind: that brings a second std::string implementation
//   and its unwind tables (about 48 KB). Here they throw the system's Exception with the same
//   text, which every handler of the stub catches; std::bad_alloc stays what it is.
// - MinGW's start-up code hands the C runtime a math error handler that prints the error to
//   stderr, which brings fprintf in. A GUI program has no stderr, and the stub does no floating
//   point: the handler here asks for the runtime's default handling.
#include <cmath>
#include <cstdlib>
#include <new>

#include "runtime/exception.h"

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_length_error(const char* what) { throw vornix::Exception(what); }
void __throw_logic_error(const char* what) { throw vornix::Exception(what); }
void __throw_out_of_range(const char* what) { throw vornix::Exception(what); }
// The format's values are left out: the text still names the call that failed.
void __throw_out_of_range_fmt(const char* format, ...) { throw vornix::Exception(format); }
}  // namespace std
#endif

#if defined(__MINGW32__)
extern "C" int _matherr(struct _exception*) { return 0; }
#endif
