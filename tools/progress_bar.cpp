// The progress bar.
#include "tools/progress_bar.h"

#ifdef _WIN32
#include <io.h>
#define VORNIX_ISATTY(stream) _isatty(_fileno(stream))
#else
#include <unistd.h>
#define VORNIX_ISATTY(stream) isatty(fileno(stream))
#endif

namespace vornix::tools {
namespace {

constexpr int kBarWidth = 24;

std::string Duration(double seconds) {
  const long whole = static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace

std::string HumanSize(int64_t bytes) {
  char text[32];
  if (bytes < 1000) {
    std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(bytes));
  } else if (bytes < 1000000) {
    std::snprintf(text, sizeof text, "%.1f kB", static_cast<double>(bytes) / 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  }
  return text;
}

std::string Count(size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string ProgressLine(const WriteProgress& progress, double elapsed_seconds) {
  const double share = progress.BytesTotal > 0  ? static_cast<double>(progress.BytesDone) / progress.BytesTotal
                       : progress.FileCount > 0 ? static_cast<double>(progress.FilesDone) / progress.FileCount
                                                : 1.0;
  const int filled = static_cast<int>(share * kBarWidth);
  std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                     std::string(static_cast<size_t>(kBarWidth - filled), '-') + "] ";
  line += std::to_string(progress.FilesDone) + "/" + Count(progress.FileCount, "file") + ", " +
          HumanSize(progress.BytesDone) + " of " + HumanSize(progress.BytesTotal);
  // Rate and time left only once there is something to go by.
  if (elapsed_seconds >= 0.5 && progress.BytesDone > 0) {
    const double rate = progress.BytesDone / elapsed_seconds;
    line += ", " + HumanSize(static_cast<int64_t>(rate)) + "/s, " +
            Duration(static_cast<double>(progress.BytesTotal - progress.BytesDone) / rate) + " left";
  }
  return line;
}

TProgressBar::TProgressBar(bool enabled)
    : active_(enabled && VORNIX_ISATTY(stderr)), start_(std::chrono::steady_clock::now()) {}

void TProgressBar::Update(const WriteProgress& progress) {
  if (!active_) return;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
  std::string line = ProgressLine(progress, elapsed.count());
  const size_t length = line.size();
  // Blanks over whatever the longer previous line left behind.
  if (length < drawn_) line.append(drawn_ - length, ' ');
  std::fprintf(stderr, "\r%s", line.c_str());
  std::fflush(stderr);
  drawn_ = length;
}

void TProgressBar::Clear() {
  if (!active_ || drawn_ == 0) return;
  std::fprintf(stderr, "\r%s\r", std::string(drawn_, ' ').c_str());
  std::fflush(stderr);
  drawn_ = 0;
}

}  // namespace vornix::tools
