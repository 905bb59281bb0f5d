// Runs the container on byte vectors in either of its modes, so that one test covers both: stream
// mode on memory streams, file mode on files in the test's temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "compression/lzrw1.h"
#include "tests/compression/test_data.h"

namespace vornix::test {

enum class Mode { Stream, File };

inline const char* ModeName(Mode mode) { return mode == Mode::Stream ? "stream" : "file"; }

// A file of the running test's own: ctest runs the tests in parallel processes.
inline std::string TempPath(const std::string& leaf) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() + "_" : "";
  for (char& c : name) c = c == '/' ? '_' : c;
  return ::testing::TempDir() + "vornix_" + name + leaf;
}

inline void WriteFile(const std::string& name, const Bytes& data) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline Bytes ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool FileExists(const std::string& name) { return std::ifstream(name).good(); }

// One container run: input bytes in, output bytes and the returned count out.
struct ContainerRun {
  Mode mode;
  std::string input_file = TempPath("container_in.bin");
  std::string output_file = TempPath("container_out.bin");
  Bytes output;
  int32_t returned = 0;

  explicit ContainerRun(Mode m) : mode(m) {}

  // Sets the container up on input; runs operation(container); collects the output.
  template <typename Operation>
  void Run(Tlzrw1& container, const Bytes& input, Operation operation) {
    TMemoryStream in(input), out;
    if (mode == Mode::Stream) {
      container.UseStreams = true;
      container.InputStream = &in;
      container.OutputStream = &out;
    } else {
      WriteFile(input_file, input);
      std::remove(output_file.c_str());
      container.InputFile = input_file;
      container.OutputFile = output_file;
    }
    returned = operation(container);
    output = mode == Mode::Stream ? out.Data() : ReadFile(output_file);
  }

  Bytes Compress(const Bytes& input, uint8_t method) {
    Tlzrw1 container;
    container.CompressionMethod = method;
    TLZHProgress progress;
    Run(container, input, [&](Tlzrw1& c) { return c.Compress(progress); });
    return output;
  }

  Bytes Decompress(const Bytes& stream) {
    Tlzrw1 container;
    Run(container, stream, [](Tlzrw1& c) { return c.Decompress(); });
    return output;
  }

  // The message of the ELzrw1Exception (or coder exception) that operation raises, or "" if none.
  template <typename Operation>
  std::string FailureOf(const Bytes& input, Operation operation) {
    Tlzrw1 container;
    try {
      Run(container, input, operation);
    } catch (const Exception& failure) {
      return failure.Message();
    }
    return "";
  }

  std::string DecompressFailure(const Bytes& stream) {
    return FailureOf(stream, [](Tlzrw1& c) { return c.Decompress(); });
  }
};

}  // namespace vornix::test
