// The stub and the package's checksums, end to end: a package that carries them runs, with a
// signature's worth of bytes appended too; damage to each region it covers stops the stub before the
// program runs, with the box and the exit code of its kind, and leaves nothing in the temporary
// directory. (A damaged entry of a package without checksums: stub_unpack_tests.)
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/win/package_bytes.h"
#include "tests/win/stub_expectations.h"
#include "tests/win/stub_harness.h"

namespace vornix {
namespace {

// Noise, which LZRW1/KH stores as it is: a changed byte of its stream is a changed byte of the file,
// which only the checksum can tell.
std::vector<uint8_t> Noise(size_t size) {
  std::vector<uint8_t> data(size);
  uint32_t state = 7;
  for (uint8_t& byte : data) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(state >> 16);
  }
  return data;
}

// "marker.exe" to run, then "data.bin"; publisher, title, note.
std::vector<uint8_t> CheckedPackage() {
  return BuildPackage("Checked", "Vornix tests", "Checksums", 0, kRunAfterUnpack,
                      {MarkerProgram(), {"data.bin", Noise(5000), 1}}, true);
}

TEST(StubIntegrity, PackageWithChecksumsRunsAlsoWithBytesAppended) {
  for (size_t appended : {size_t{0}, size_t{3000}}) {
    SCOPED_TRACE(appended);
    StubCase stub("checked " + std::to_string(appended));
    std::vector<uint8_t> package = CheckedPackage();
    package.insert(package.end(), appended, 0x30);
    stub.WritePackage(package);
    const StubRun run = stub.Run();
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(0u, run.exit_code);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(stub.UnpackFolder(1) + "marker.exe", ProgramSeen(stub.marker));
    EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
  }
}

struct Damage {
  const char* what;
  std::function<void(PackageBytes&)> change;
  DWORD exit_code;
  std::string scratch;  // the could-not-create box's ".~~c" file, or "" for the could-not-be-unpacked box
};

// Every case's stub runs at once; none may run the program or leave anything behind.
TEST(StubIntegrity, DamageAnywhereStopsThePackageBeforeItsProgramRuns) {
  const PackageBytes good(CheckedPackage());
  const size_t header = kPackageOffset;
  const size_t record = good.Offset(1) + good.Size(1);
  auto flip = [](size_t at) { return [at](PackageBytes& p) { p.bytes[at] ^= 0x01; }; };
  const Damage damages[] = {
      {"the reserved bytes", flip(header + 2), 1, ""},
      {"the mark", [&](PackageBytes& p) { p.bytes[header + 9] ^= 0x02; }, 1, ""},
      {"the publisher", flip(header + kHeaderSize), 1, ""},
      {"the title", flip(header + kHeaderSize + 12), 1, ""},
      {"the note", flip(header + kHeaderSize + 12 + 7), 1, ""},
      {"the table", flip(good.Slot(1) + 1), 1, ""},
      {"a name", flip(good.Offset(1)), 1, ""},
      {"the record", flip(record + 14), 1, ""},
      {"the record cut off", [&](PackageBytes& p) { p.bytes.resize(record + 10); }, 1, ""},
      {"the program's stream", [&](PackageBytes& p) { DamageId(p, 0); }, 2, "marker.~~c"},
      {"a stored byte", flip(good.Stream(1) + 2000), 2, "data.~~c"},
  };
  std::vector<std::unique_ptr<StubCase>> stubs;
  std::vector<PROCESS_INFORMATION> processes;
  for (const Damage& damage : damages) {
    stubs.push_back(std::make_unique<StubCase>(std::string("damaged ") + damage.what));
    PackageBytes package = good;
    damage.change(package);
    stubs.back()->WritePackage(package.bytes);
    processes.push_back(stubs.back()->Start());
  }
  for (size_t i = 0; i < stubs.size(); ++i) {
    const Damage& damage = damages[i];
    const StubCase& stub = *stubs[i];
    SCOPED_TRACE(damage.what);
    const StubRun run = stub.Watch(processes[i]);
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(damage.exit_code, run.exit_code);
    ASSERT_EQ(1u, run.boxes.size());
    EXPECT_EQ(damage.scratch.empty() ? kCorruptText : CreateFileText(stub.UnpackFolder(1) + damage.scratch),
              run.boxes[0].text);
    EXPECT_FALSE(FileExists(stub.marker)) << "the program ran";
    EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
  }
}

// Signed with osslsigncode by the signed_packages test, whole and with one stored byte of data.bin
// changed: the signature appended behind the record moves nothing the stub reads.
TEST(StubIntegrity, SignedPackageRunsAndItsDamagedCopyDoesNot) {
  const std::string folder = TestProgramFolder() + "signed\\";
  if (!FileExists(folder + "signed.exe")) GTEST_SKIP() << "no signed packages: the build has no native vornix";
  StubCase whole("signed");
  whole.WritePackage(ReadWholeFile(folder + "signed.exe"));
  const StubRun run = whole.Run();
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(0u, run.exit_code);
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_EQ(whole.UnpackFolder(1) + "marker.exe", ProgramSeen(whole.marker));
  EXPECT_TRUE(FolderNames(whole.temp_folder).empty());

  StubCase damaged("signed damaged");
  damaged.WritePackage(ReadWholeFile(folder + "signed-damaged.exe"));
  const StubRun refused = damaged.Run();
  ASSERT_TRUE(refused.exited);
  EXPECT_EQ(2u, refused.exit_code);
  ASSERT_EQ(1u, refused.boxes.size());
  EXPECT_EQ(CreateFileText(damaged.UnpackFolder(1) + "data.~~c"), refused.boxes[0].text);
  EXPECT_FALSE(FileExists(damaged.marker));
  EXPECT_TRUE(FolderNames(damaged.temp_folder).empty());
}

}  // namespace
}  // namespace vornix
