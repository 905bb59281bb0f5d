// The runtime: memory and file streams, the string list, the bound handler and the file layer.
#include "runtime/stream.h"

#include <gtest/gtest.h>

#include "runtime/bound_handler.h"
#include "runtime/string_list.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace vornix {
namespace {

TEST(MemoryStream, ReadWriteSeekAndSize) {
  TMemoryStream stream;
  EXPECT_EQ(stream.Write("hello", 5), 5);
  EXPECT_EQ(stream.Position(), 5);
  EXPECT_EQ(stream.Seek(2, SeekOrigin::Beginning), 2);
  char buffer[8] = {};
  EXPECT_EQ(stream.Read(buffer, 8), 3);
  EXPECT_STREQ(buffer, "llo");
  EXPECT_EQ(stream.Read(buffer, 8), 0);
  EXPECT_EQ(stream.Seek(-1, SeekOrigin::Beginning), -1);
  EXPECT_EQ(stream.Seek(3, SeekOrigin::End), 8);
  EXPECT_EQ(stream.Write("!", 1), 1);  // the gap is filled with zero bytes
  EXPECT_EQ(stream.Size(), 9);
  EXPECT_EQ(stream.Data()[6], 0);
}

TEST(FileStream, CreateWriteReopenAndRead) {
  const std::string name = ::testing::TempDir() + "vornix_stream_test.bin";
  {
    TFileStream out(name, TFileStream::Mode::Create);
    EXPECT_EQ(out.Write("abcdef", 6), 6);
    EXPECT_EQ(out.Size(), 6);
  }
  {
    TFileStream in(name, TFileStream::Mode::OpenRead);
    EXPECT_EQ(in.Size(), 6);
    EXPECT_EQ(in.Seek(4, SeekOrigin::Beginning), 4);
    char buffer[4] = {};
    EXPECT_EQ(in.Read(buffer, 4), 2);
    EXPECT_EQ(std::string(buffer, 2), "ef");
    EXPECT_EQ(in.Write("x", 1), -1);  // opened for reading only
  }
  EXPECT_TRUE(FileDelete(name));
}

TEST(FileStream, MissingFileFailsWithItsName) {
  try {
    TFileStream in("/nonexistent/vornix", TFileStream::Mode::OpenRead);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot open file /nonexistent/vornix");
  }
}

TEST(FileLayer, AnOpenFileIsNotCreatedAgain) {
  const std::string name = ::testing::TempDir() + "vornix_share_test.bin";
  {
    FileOwner created(FileCreate(name));
    ASSERT_TRUE(created.IsOpen());
    EXPECT_EQ(FileWrite(created.Get(), "data", 4), 4);
    EXPECT_LT(FileOpenRead(name), 0);  // a file being created is not shared
  }
  {
    FileOwner input(FileOpenRead(name));
    ASSERT_TRUE(input.IsOpen());
    EXPECT_LT(FileCreate(name), 0);
  }
  FileOwner input(FileOpenRead(name));
  char buffer[4];
  EXPECT_EQ(FileRead(input.Get(), buffer, 4), 4);    // the failed creation truncated nothing
  EXPECT_LT(FileOpenRead(::testing::TempDir()), 0);  // a directory is not a file
  input.Reset();
  EXPECT_TRUE(FileDelete(name));
  EXPECT_FALSE(FileDelete(name));
}

#ifndef _WIN32
// POSIX has no share modes: the layer itself refuses a second open of a file it holds, under any
// of the file's names.
TEST(FileLayer, PosixRefusesAnOpenFileUnderAnotherName) {
  const std::string name = ::testing::TempDir() + "vornix_link_test.bin";
  const std::string link = name + ".link";
  FileOwner(FileCreate(name)).Reset();
  ::unlink(link.c_str());
  ASSERT_EQ(::link(name.c_str(), link.c_str()), 0);
  {
    FileOwner input(FileOpenRead(name));
    ASSERT_TRUE(input.IsOpen());
    EXPECT_LT(FileOpenRead(name), 0);
    EXPECT_LT(FileCreate(link), 0);
  }
  FileDelete(link);
  FileDelete(name);
}
#endif

// Pieces smaller than, across and larger than the 64-byte buffer, the base moved by another reader
// meanwhile, a read past the end and a seek back into the buffer.
TEST(ReadAhead, GivesTheBaseBytesInFewReads) {
  struct TCountedStream : TMemoryStream {
    using TMemoryStream::TMemoryStream;
    int32_t Read(void* buffer, int32_t count) override {
      ++calls;
      return TMemoryStream::Read(buffer, count);
    }
    int calls = 0;
  };
  std::vector<uint8_t> bytes(1000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  TCountedStream base(bytes);
  base.Seek(10, SeekOrigin::Beginning);
  TReadAhead stream(base, 64);
  std::vector<uint8_t> got(990);
  int32_t done = 0;
  for (int32_t step : {1, 2, 60, 3, 130, 17, 17, 17}) {
    ASSERT_EQ(stream.Read(got.data() + done, step), step);
    done += step;
  }
  EXPECT_EQ(base.calls, 4);  // three fills of the buffer and one read straight through
  base.Seek(0, SeekOrigin::End);
  ASSERT_EQ(stream.Read(got.data() + done, 990 - done), 990 - done);
  EXPECT_EQ(got, std::vector<uint8_t>(bytes.begin() + 10, bytes.end()));
  EXPECT_EQ(stream.Read(got.data(), 5), 0);
  EXPECT_EQ(stream.Seek(-3, SeekOrigin::End), 997);
  EXPECT_EQ(stream.Read(got.data(), 5), 3);
  EXPECT_EQ(got[2], bytes[999]);
  EXPECT_EQ(stream.Seek(-1, SeekOrigin::Beginning), -1);
}

TEST(StringList, IndexOfIgnoresCase) {
  TStringList list;
  EXPECT_EQ(list.Add("C:\\TEMP\\VORNIX_1\\SETUP.EXE"), 0);
  EXPECT_EQ(list.Add("other"), 1);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.IndexOf("c:\\temp\\vornix_1\\setup.exe"), 0);
  EXPECT_EQ(list.IndexOf("OTHER"), 1);
  EXPECT_EQ(list.IndexOf("c:\\temp\\vornix_10\\setup.exe"), -1);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(BoundHandler, UnsetUntilBoundAndCallsTheObject) {
  struct Counter {
    int total = 0;
    int Add(int n) { return total += n; }
  } a, b;
  TBoundHandler<int(int)> handler;
  EXPECT_FALSE(handler);
  handler = TBoundHandler<int(int)>::Bind<&Counter::Add>(&a);
  EXPECT_TRUE(handler);
  EXPECT_EQ(handler(3), 3);
  EXPECT_EQ(handler(4), 7);
  handler = TBoundHandler<int(int)>::Bind<&Counter::Add>(&b);
  EXPECT_EQ(handler(1), 1);
  EXPECT_EQ(a.total, 7);
  EXPECT_EQ(handler.Object(), &b);
}

}  // namespace
}  // namespace vornix
