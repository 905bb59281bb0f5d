// What the C++ runtime would link into the stub for nothing it uses. GCC's runtime ends an uncaught
// exception through its verbose terminate handler, which prints the exception's type and so pulls
// in the whole C++ demangler (about 46 KB). The stub catches every exception where it can arise,
// and a GUI program that still meets one has nobody to print to: the handler defined here takes
// the place of the runtime's, so that its demangler stays out of the stub.
#include <cstdlib>

#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
#endif
