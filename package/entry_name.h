// The rule for entry names: an entry is unpacked as one plain file directly inside the unpack
// folder, so its name must be a single Windows file name that names no device. The stub refuses
// other names before it creates anything, and the package writer never writes them.
#pragma once

#include <string>

namespace vornix {

// Returns nullptr when name is a safe entry name, otherwise why it is not (a phrase such as "it
// names a device"). Refused: the empty name, "." and "..", names over 255 bytes, a folder separator
// or drive colon, control characters and the other characters Windows does not allow in file names
// (< > " | ? *), a trailing dot or blank (Windows drops them, so the file would get another name),
// and the reserved device names CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9 (also with
// the superscript digits 1-3 of the ANSI code page), with or without an extension, and the
// extension ".~~c" of the unpacking's scratch files.
const char* EntryNameProblem(const std::string& name);

}  // namespace vornix
