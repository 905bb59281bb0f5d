// pack's FILE and DIR operands as the package's tree: each file with the path it gets in the
// package, and the folders, empty ones included. Files are opened only while they are read, so a
// tree of any number of files packs within the open-file limit.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "runtime/stream.h"

namespace vornix::tools {

struct PackInput {
  std::string Path;  // where the file is, UTF-8
  std::string Name;  // its path in the package, UTF-8, with '\' between the parts
};

struct PackTree {
  std::vector<PackInput> Files;
  std::vector<std::string> Folders;  // every folder of the DIR operands, as Names are
};

// A FILE operand is packed under its own name, without its folder. A DIR operand gives its whole
// tree, each folder's entries in byte order of their UTF-8 names, files and folders alike, with
// the folders' contents behind them: the same tree for every run. Raises Exception naming the path
// when a folder cannot be read, when a DIR holds no file at all, and for a symbolic link or
// anything else that is no plain file or folder.
PackTree PackInputs(const std::vector<std::string>& Operands);

// A file read through a handle that is open only while it is read: opened on the first read,
// closed once it has been read to its end, opened again when read anew. The size is taken once.
class TInputFile : public TStream {
 public:
  // Opens the file once to check that it can be, as OpenInput does.
  explicit TInputFile(std::string path);
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void*, int32_t) override { return -1; }
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return size_; }

 private:
  std::string path_;
  int64_t size_;
  int64_t position_ = 0;
  std::unique_ptr<TFileStream> file_;
};

}  // namespace vornix::tools
