// The rules for entry names and paths. An entry of a package in today's layout is unpacked as one
// plain file directly inside the unpack folder, so its name must be a single Windows file name that
// names no device. A package in the tree layout holds paths below the unpack folder: each part of
// one a name by the same rule. The stub refuses other names and paths before it creates anything,
// and the package writer never writes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vornix {

// Returns nullptr when name is a safe entry name, otherwise why it is not (a phrase such as "it
// names a device"). Refused: the empty name, "." and "..", names over 255 bytes, a folder separator
// or drive colon, control characters and the other characters Windows does not allow in file names
// (< > " | ? *), a trailing dot or blank (Windows drops them, so the file would get another name),
// and the reserved device names CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9 (also with
// the superscript digits 1-3 of the ANSI code page), with or without an extension, and the
// extension ".~~c" of the unpacking's scratch files.
const char* EntryNameProblem(const std::string& name);

// The most a path with folders holds, so that it fits Windows' ANSI path limit of 259 characters
// below any unpack folder of up to 95: "C:\Users\" with a user name of 20 characters, then
// "\AppData\Local\Temp\vornix_NNNNN\" take 62, and the scratch file's ".~~c" may add 4.
constexpr size_t kMaxPathLength = 160;

// Returns nullptr when path is a safe relative path (parts separated by '\'), otherwise why not.
// A path of one part is judged as a name; a longer one must hold no empty part, no "." or "..",
// no part that EntryNameProblem refuses, and at most kMaxPathLength bytes.
const char* EntryPathProblem(const std::string& path);

// The path with ASCII letters in upper case: two paths that only differ in case name the same
// file on Windows.
std::string FoldedPath(const std::string& path);

// A set of paths, compared folded: the check that a tree names each path once. A hash table with
// open addressing, which costs the stub far less code than a std::set.
class TFoldedPathSet {
 public:
  // False when the path, folded, is in the set already.
  bool Insert(const std::string& path);
  bool Contains(const std::string& path) const;

 private:
  size_t Find(const std::string& folded) const;  // its slot, or the free slot where it would go
  void Grow();

  std::vector<std::string> slots_;  // a power of two of them, at most half in use
  std::vector<uint8_t> used_;
  size_t count_ = 0;
};

}  // namespace vornix
