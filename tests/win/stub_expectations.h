// What the user and the payload are expected to show: the stub's caption, the texts of its error
// boxes and what the payload writes to its marker. The texts are written out here and not taken
// from the product, so that a changed text fails the tests.
#pragma once

#include <string>

#include "tests/win/message_box.h"
#include "tests/win/stub_harness.h"

namespace vornix {

// The caption of the main window and of the error boxes.
inline constexpr char kAppTitle[] = "Quorrin Vornix 1.0";

// The box of a package that cannot be read, or whose checksums do not hold.
inline constexpr char kCorruptText[] =
    "     This file could not be unpacked.\r\r     It has corrupt data and can not be fixed.  Please download\r"
    "the file again.  If this error persists, please contact the program\rvendor for a fresh distribution "
    "package.\r\r";

// The could-not-create box of an entry, for the full path of its scratch file.
std::string CreateFileText(const std::string& scratch);
// The could-not-execute box of the program at the full path program.
std::string ExecuteText(const std::string& program);

// An error box with its caption and text. Of the box's style 0x42010, what Wine lets another
// process see: OK only, task-modal. (Wine 8 gives an MB_TOPMOST box no WS_EX_TOPMOST; only
// MB_SYSTEMMODAL does.)
void ExpectErrorBox(const MessageBoxSeen& box, const MessageBoxLooks& looks, const std::string& text);

// The payload program packed as "marker.exe" with LZRW1/KH: it writes what it saw to the marker.
StubFile MarkerProgram();
// What the payload writes: its path, its command line and its working directory, one a line.
std::string PayloadSaw(const std::string& program, const std::string& directory);
// The first line the payload wrote to marker: the path it ran from.
std::string ProgramSeen(const std::string& marker);

}  // namespace vornix
