// The progress bar of vornix pack: one line on stderr, redrawn in place, with the files and bytes
// done, the rate and the time left. It draws only on a terminal: redirected output stays clean.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "package/package_writer.h"

namespace vornix::tools {

// "52.1 MB", "812.0 kB", "17 bytes": sizes for people, in powers of ten as the bench reports.
std::string HumanSize(int64_t bytes);

// "1 file", "2 files".
std::string Count(size_t count, const char* noun);

// The line for a given state; elapsed_seconds is the time since the start.
std::string ProgressLine(const WriteProgress& progress, double elapsed_seconds);

class TProgressBar {
 public:
  // Draws only when enabled and stderr is a terminal.
  explicit TProgressBar(bool enabled);
  ~TProgressBar() { Clear(); }

  void Update(const WriteProgress& progress);
  // Removes the line, leaving the cursor where it started.
  void Clear();

 private:
  bool active_;
  size_t drawn_ = 0;  // characters of the line on screen
  std::chrono::steady_clock::time_point start_;
};

}  // namespace vornix::tools
