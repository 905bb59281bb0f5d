// The paths the system gives the stub (its own file, the temporary directory) in the ANSI code
// page, which every other call of the stub works in. The ANSI calls turn each character the code
// page cannot hold into "?", and such a path names nothing; its 8.3 short form, which is ASCII,
// names the same file.
#pragma once

#include <string>

namespace vornix {

// The path of the running program: what GetModuleFileNameA gives when the code page holds every
// character of the path, else the path's short form; what GetModuleFileNameA gives, too, when the
// volume keeps no short name.
std::string ModuleFileNameAnsi();

// The temporary directory, ending in a backslash, chosen the same way from GetTempPathA's and
// GetTempPathW's answers; "" when the system gives none or it is longer than MAX_PATH - 1.
std::string TempPathAnsi();

}  // namespace vornix
