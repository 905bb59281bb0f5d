// A stand-in for libFuzzer's driver: runs a fuzz target's entry point once on every file named on
// the command line (directories are walked one level deep), so that a reproducer can be replayed
// under a debugger or in a build without libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void Replay(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::printf("%s: %zu bytes\n", path.string().c_str(), bytes.size());
  std::fflush(stdout);
  // Copy into an exact-size buffer so that an overread of the input is caught as well.
  std::vector<uint8_t> input(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(input.data(), input.size());
}

}  // namespace

int main(int argc, char** argv) {
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path(argv[i]);
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file()) {
          Replay(entry.path());
          ++replayed;
        }
      }
    } else {
      Replay(path);
      ++replayed;
    }
  }
  std::printf("replayed %d input(s)\n", replayed);
  return 0;
}
