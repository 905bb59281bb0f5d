// A file written under a temporary name beside its target and renamed into place only when it is
// complete: a run that fails half-way leaves the target as it was and no half-written file.
#pragma once

#include <memory>
#include <string>

#include "runtime/stream.h"

namespace vornix::tools {

class TReplacingOutput {
 public:
  // Creates the temporary file in the target's folder; raises Exception naming the target.
  explicit TReplacingOutput(const std::string& target);
  // Deletes the temporary file unless Commit has put it in place.
  ~TReplacingOutput();
  TReplacingOutput(const TReplacingOutput&) = delete;
  TReplacingOutput& operator=(const TReplacingOutput&) = delete;

  TStream& Stream() { return *stream_; }
  // Closes the file and renames it to the target, replacing what was there.
  void Commit();

 private:
  std::string target_;
  std::string temporary_;
  std::unique_ptr<TFileStream> stream_;
};

}  // namespace vornix::tools
