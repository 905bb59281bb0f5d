// Tlzrw1 failures that need a fault: streams that refuse, files that cannot be opened, read or
// written, and allocations that fail. Each message is checked byte for byte in its mode, with what
// must survive the failure.
#include <gtest/gtest.h>

#include "compression/lzrw1.h"
#include "tests/compression/container_harness.h"
#include "tests/compression/fault_injection.h"

namespace vornix {
namespace {

using test::Bytes;
using test::FromString;
using test::Hex;

const Bytes kLzrwAbc = Hex("57 52 5A 4C 03 00 00 00 04 00 80 61 62 63");
const Bytes kLzhAbc = Hex("21 48 5A 4C 03 00 00 00 F6 FB BD E0");

// A memory stream that fails where it is told to.
class FaultyStream : public TMemoryStream {
 public:
  using TMemoryStream::TMemoryStream;
  bool fail_probe = false;   // Seek(0, Current)
  bool fail_rewind = false;  // Seek(0, Beginning)
  bool fail_size = false;
  int64_t fail_reads_from = -1;  // reads at or after this position fail
  bool fail_writes = false;

  int32_t Read(void* buffer, int32_t count) override {
    if (fail_reads_from >= 0 && Position() >= fail_reads_from) return -1;
    return TMemoryStream::Read(buffer, count);
  }
  int32_t Write(const void* buffer, int32_t count) override {
    return fail_writes ? -1 : TMemoryStream::Write(buffer, count);
  }
  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    if (offset == 0 &&
        ((origin == SeekOrigin::Current && fail_probe) || (origin == SeekOrigin::Beginning && fail_rewind))) {
      return -1;
    }
    return TMemoryStream::Seek(offset, origin);
  }
  int64_t Size() override { return fail_size ? -1 : TMemoryStream::Size(); }
};

enum class Op { Decompress, CompressLzh, CompressLzrw, Advise };

std::string FailureOf(Tlzrw1& container, Op op) {
  try {
    TLZHProgress progress;
    switch (op) {
      case Op::Decompress:
        container.Decompress();
        break;
      case Op::CompressLzh:
        container.CompressionMethod = 0;
        container.Compress(progress);
        break;
      case Op::CompressLzrw:
        container.CompressionMethod = 1;
        container.Compress(progress);
        break;
      case Op::Advise:
        container.Advise();
        break;
    }
  } catch (const Exception& failure) {
    return failure.Message();
  }
  return "";
}

std::string StreamFailure(Op op, FaultyStream* in, FaultyStream* out) {
  Tlzrw1 container;
  container.UseStreams = true;
  container.InputStream = in;
  container.OutputStream = out;
  return FailureOf(container, op);
}

TEST(ContainerStreamFailures, UnsetStreamsFailWithTheInitializeMessageOfTheirSide) {
  FaultyStream in(kLzrwAbc), out;
  const std::string input = "Lzrw1 (de)compression : Failed to initialize input stream !";
  const std::string output = "Lzrw1 (de)compression : Failed to initialize output stream !";
  EXPECT_EQ(StreamFailure(Op::Decompress, nullptr, &out), input);
  EXPECT_EQ(StreamFailure(Op::Decompress, &in, nullptr), output);
  EXPECT_EQ(StreamFailure(Op::CompressLzh, nullptr, &out), input);
  EXPECT_EQ(StreamFailure(Op::CompressLzrw, &in, nullptr), output);
  EXPECT_EQ(StreamFailure(Op::Advise, nullptr, nullptr), "Lzrw1 edvise : can not initialize the input stream!");
}

TEST(ContainerStreamFailures, StreamsThatCannotBeProbed) {
  for (Op op : {Op::Decompress, Op::CompressLzh}) {
    FaultyStream in(kLzrwAbc), out;
    in.fail_probe = true;
    EXPECT_EQ(StreamFailure(op, &in, &out), "Lzrw1 (de)compression : Failed to initialize input stream !");
    in.fail_probe = false;
    out.fail_probe = true;
    EXPECT_EQ(StreamFailure(op, &in, &out), "Lzrw1 (de)compression : Failed to initialize output stream !");
  }
}

TEST(ContainerStreamFailures, WriteFailures) {
  for (const Bytes& stream : {kLzrwAbc, kLzhAbc}) {
    FaultyStream in(stream), out;
    out.fail_writes = true;
    EXPECT_EQ(StreamFailure(Op::Decompress, &in, &out), "Lzrw1 : Error writing to output stream !");
  }
  FaultyStream in(FromString("abc")), out;
  out.fail_writes = true;
  EXPECT_EQ(StreamFailure(Op::CompressLzrw, &in, &out), "Lzrw1 : Error writing to output stream !");
}

TEST(ContainerStreamFailures, ReadFailuresNameTheReader) {
  struct Case {
    Op op;
    Bytes input;
    int64_t fail_from;
    const char* message;
  };
  const Case cases[] = {
      {Op::Decompress, kLzrwAbc, 8, "Lzrw1 : Error reading from input stream !"},
      {Op::Decompress, kLzhAbc, 8, "Lzrw1 : Error reading from input stream ! (LZH)"},
      {Op::CompressLzrw, FromString("abc"), 0, "Lzrw1 : Error reading from input stream ! (LZRW1/KH)"},
      {Op::CompressLzh, FromString("abc"), 0, "Lzrw1 : Error reading from input stream ! (LZH)"},
      {Op::Advise, test::MixedData(100000), 0, "Lzrw1 advise : input stream read error !"},
  };
  for (const Case& c : cases) {
    FaultyStream in(c.input), out;
    in.fail_reads_from = c.fail_from;
    EXPECT_EQ(StreamFailure(c.op, &in, &out), c.message);
  }
}

TEST(ContainerStreamFailures, SizeAndRewindFailures) {
  FaultyStream in(FromString("abc")), out;
  in.fail_size = true;
  EXPECT_EQ(StreamFailure(Op::CompressLzh, &in, &out),
            "Lzrw1 compression : Failed to obtain the size of the input stream !");
  EXPECT_EQ(StreamFailure(Op::Advise, &in, &out), "Lzrw1 advise : can not get size of inputstream !");
  in.fail_size = false;
  in.fail_rewind = true;
  EXPECT_EQ(StreamFailure(Op::Advise, &in, &out), "Lzrw1 edvise : can not initialize the input stream!");
}

TEST(ContainerStreamFailures, InputsTooLargeForTheHeaderFailTheSizeStep) {
  // The header holds sizes below 2^32; a larger input is refused, not coded with a wrapped size.
  struct HugeStream : FaultyStream {
    int64_t Size() override { return int64_t{1} << 32; }
  } in;
  FaultyStream out;
  EXPECT_EQ(StreamFailure(Op::CompressLzrw, &in, &out),
            "Lzrw1 compression : Failed to obtain the size of the input stream !");
  EXPECT_TRUE(out.Data().empty());
}

TEST(ContainerStreamFailures, OutputKeepsWhatWasWrittenBeforeTheFailure) {
  FaultyStream in(FromString("abcabcabc")), out;
  in.fail_reads_from = 0;
  EXPECT_NE(StreamFailure(Op::CompressLzh, &in, &out), "");
  EXPECT_EQ(out.Data(), Hex("21 48 5A 4C 09 00 00 00"));  // the header went out before the failure
}

class ContainerFileFailures : public ::testing::Test {
 protected:
  fault::Reset reset;
  std::string in = test::TempPath("failure_in.bin");
  std::string out = test::TempPath("failure_out.bin");
  std::string missing = test::TempPath("no_such_folder/file.bin");

  std::string FileFailure(Op op, const std::string& input, const std::string& output) {
    Tlzrw1 container;
    container.InputFile = input;
    container.OutputFile = output;
    return FailureOf(container, op);
  }
};

TEST_F(ContainerFileFailures, FilesThatCannotBeOpened) {
  test::WriteFile(in, kLzrwAbc);
  test::WriteFile(out, FromString("existing"));
  EXPECT_EQ(FileFailure(Op::Decompress, missing, out),
            "Lzrw1 (de)compression : Failed to open input file : " + missing);
  EXPECT_EQ(test::ReadFile(out), FromString("existing"));  // an existing output is left untouched
  EXPECT_EQ(FileFailure(Op::Decompress, in, missing),
            "Lzrw1 (de)compression : Failed to open output file : " + missing);
  EXPECT_EQ(FileFailure(Op::CompressLzrw, in, missing),
            "Lzrw1 (de)compression : Failed to open output file : " + missing);
  EXPECT_EQ(test::ReadFile(in), kLzrwAbc);
  // The size is learnt first: a missing input fails there.
  EXPECT_EQ(FileFailure(Op::CompressLzh, missing, out),
            "Lzrw1 compression : Failed to obtain the size of : " + missing);
  EXPECT_EQ(FileFailure(Op::Advise, missing, out), "Lzrw1 advise : can not get the size of : " + missing);
  // Sized, but then not opened for the data pass.
  fault::opens_before_failure = 1;
  EXPECT_EQ(FileFailure(Op::CompressLzh, in, out), "Lzrw1 (de)compression : Failed to open input file : " + in);
  fault::opens_before_failure = 1;
  EXPECT_EQ(FileFailure(Op::Advise, in, out), "Lzrw1 advise : can open input file : " + in);
}

TEST_F(ContainerFileFailures, InputTooLargeForTheHeader) {
  std::remove(in.c_str());
  {
    FileOwner sparse(FileCreate(in));
    ASSERT_TRUE(sparse.IsOpen());
    ASSERT_EQ(FileSeek(sparse.Get(), int64_t{1} << 32, SeekOrigin::Beginning), int64_t{1} << 32);
    ASSERT_EQ(FileWrite(sparse.Get(), "x", 1), 1);  // a sparse file of 2^32 + 1 bytes
  }
  std::remove(out.c_str());
  EXPECT_EQ(FileFailure(Op::CompressLzrw, in, out), "Lzrw1 compression : Failed to obtain the size of : " + in);
  EXPECT_FALSE(test::FileExists(out));
  std::remove(in.c_str());
}

TEST_F(ContainerFileFailures, OutputIsTheOpenInput) {
  // Creating the output would truncate the input it is reading: refused like any unopenable output.
  test::WriteFile(in, kLzrwAbc);
  EXPECT_EQ(FileFailure(Op::Decompress, in, in), "Lzrw1 (de)compression : Failed to open output file : " + in);
  EXPECT_EQ(test::ReadFile(in), kLzrwAbc);
}

TEST_F(ContainerFileFailures, ReadFailuresNameTheFileAndTheReader) {
  test::WriteFile(in, kLzhAbc);
  fault::fail_file_reads = true;
  EXPECT_EQ(FileFailure(Op::Decompress, in, out), "Lzrw1 : Error reading from input file : " + in);
  EXPECT_FALSE(test::FileExists(out));
  EXPECT_EQ(FileFailure(Op::CompressLzh, in, out), "Lzrw1 : Error reading from input file : " + in + " (LZH)");
  EXPECT_EQ(FileFailure(Op::CompressLzrw, in, out), "Lzrw1 : Error reading from input file : " + in + " (LZRW1/KH)");
  EXPECT_FALSE(test::FileExists(out));
  test::WriteFile(in, test::MixedData(100000));
  EXPECT_EQ(FileFailure(Op::Advise, in, out), "Lzrw1 advise : read error on input file : " + in);
}

TEST_F(ContainerFileFailures, WriteFailureDeletesTheOutput) {
  test::WriteFile(in, kLzrwAbc);
  fault::fail_file_writes = true;
  EXPECT_EQ(FileFailure(Op::Decompress, in, out), "Lzrw1 : Error writing to output file : " + out);
  EXPECT_FALSE(test::FileExists(out));
  EXPECT_EQ(FileFailure(Op::CompressLzh, in, out), "Lzrw1 : Error writing to output file : " + out);
  EXPECT_FALSE(test::FileExists(out));
}

TEST_F(ContainerFileFailures, FailedAdviceCreatesNoOutput) {
  Tlzrw1 container;
  container.InputFile = missing;
  container.OutputFile = out;
  container.CompressionMethod = 2;
  std::remove(out.c_str());
  TLZHProgress progress;
  try {
    container.Compress(progress);
    ADD_FAILURE() << "no failure";
  } catch (const ELzrw1Exception& failure) {
    EXPECT_EQ(failure.Message(), "Lzrw1 advise : can not get the size of : " + missing);
  }
  EXPECT_FALSE(test::FileExists(out));
}

TEST(ContainerAllocationFailures, EachAllocationFailsWithItsMessage) {
  fault::Reset reset;
  FaultyStream in(kLzhAbc), out;
  fault::failing_allocation_size = Tlzrw1::kBufferSize;
  EXPECT_EQ(StreamFailure(Op::Decompress, &in, &out), "Lzrw1 (de)compression : Failed to get memory for I/O buffers !");
  EXPECT_EQ(StreamFailure(Op::CompressLzrw, &in, &out),
            "Lzrw1 (de)compression : Failed to get memory for I/O buffers !");
  EXPECT_EQ(StreamFailure(Op::Advise, &in, &out), "Lzrw1 advise : Error getting I/O buffers");
  // The LZH coder's tables: the first of its six blocks fails, the dictionary trees' child links (a
  // left and a right link for each ring position, the nil node and the 256 roots: 17412 bytes).
  fault::failing_allocation_size = 2 * (TLZH::RingSize + 1 + 256) * sizeof(int16_t);
  EXPECT_EQ(StreamFailure(Op::Decompress, &in, &out), "LZH : Cannot get memory for dictionary tables");
  EXPECT_EQ(StreamFailure(Op::CompressLzh, &in, &out), "LZH : Cannot get memory for dictionary tables");
  // The LZRW1/KH hash table ends the container's construction.
  fault::failing_allocation_size = 8192;
  try {
    Tlzrw1 container;
    ADD_FAILURE() << "constructed without a hash table";
  } catch (const ELzrw1KHCompressor& failure) {
    EXPECT_EQ(failure.Message(), "LZRW1KH : no memory for HASH table");
  }
  // With the faults gone the same instance kind works again.
  fault::failing_allocation_size = 0;
  FaultyStream again(kLzhAbc), result;
  EXPECT_EQ(StreamFailure(Op::Decompress, &again, &result), "");
  EXPECT_EQ(result.Data(), FromString("abc"));
}

}  // namespace
}  // namespace vornix
