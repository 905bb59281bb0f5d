// The output written beside its target.
#include "tools/output_file.h"

#include <random>

namespace vornix::tools {

TReplacingOutput::TReplacingOutput(const std::string& target) : target_(target) {
  // A random suffix, so that two runs for the same target never share a temporary file; the file
  // is created only if no file of that name exists.
  std::random_device random;
  for (int attempt = 0; attempt < 16 && !stream_; ++attempt) {
    temporary_ = target + ".vornix-" + std::to_string(random() % 1000000000u) + ".tmp";
    try {
      stream_ = std::make_unique<TFileStream>(temporary_, TFileStream::Mode::CreateNew);
    } catch (const Exception&) {
    }
  }
  if (!stream_) throw Exception(target + ": cannot create a file in its folder");
}

TReplacingOutput::~TReplacingOutput() {
  if (!stream_) return;
  stream_.reset();
  FileDelete(temporary_);
}

void TReplacingOutput::Commit() {
  stream_.reset();
  if (!FileRename(temporary_, target_)) {
    FileDelete(temporary_);
    throw Exception(target_ + ": cannot put the new file in place");
  }
}

}  // namespace vornix::tools
