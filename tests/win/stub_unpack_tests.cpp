// The stub's unpacking, end to end: every container method byte for byte, damaged and cut entries,
// names the stub must refuse, and entries whose bounds lie outside the file. Each case builds a
// package from the real stub (damaging its bytes where needed), runs it in its own temporary
// directory without a program to run, checks the unpack folder while the window is still open, and
// closes the window as the user would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/win/package_bytes.h"
#include "tests/win/stub_expectations.h"
#include "tests/win/stub_harness.h"

namespace vornix {
namespace {

// Data that takes both coders through all their items: noise, text, long runs of one byte and a
// small alphabet, cut to size (the sizes used are no multiples of the 32768-byte blocks).
std::vector<uint8_t> MixedData(size_t size) {
  std::vector<uint8_t> data;
  uint32_t state = 20240601;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return static_cast<uint8_t>(state >> 16);
  };
  const std::string text = "The unpack folder holds exactly the entries of the package.\r\n";
  while (data.size() < size) {
    for (int i = 0; i < 20000; ++i) data.push_back(next());
    for (int i = 0; i < 300; ++i) data.insert(data.end(), text.begin(), text.end());
    data.insert(data.end(), 4000 + data.size() % 3001, static_cast<uint8_t>(data.size() >> 8));
    for (int i = 0; i < 30000; ++i) data.push_back(static_cast<uint8_t>('a' + next() % 5));
  }
  data.resize(size);
  return data;
}

// True while a message box of the process exists, shown or not shown yet.
bool HasMessageBox(DWORD process) { return FindProcessWindow(process, "#32770", false) != nullptr; }

// A run of the stub up to the end of its unpacking. Without a program to run, the window then stays
// open, and the files with it, until the user closes it.
struct Unpacking {
  PROCESS_INFORMATION process = {};
  bool over = false;    // the unpacking ended within the limit and the stub still runs
  bool exited = false;  // the stub ended before that
  std::vector<MessageBoxSeen> boxes;
  std::vector<MessageBoxLooks> looks;  // of each box, read while it showed
  std::vector<HWND> answered;
  int quiet = 0;
};

// One look at a started stub: answers the box it shows, or notes that its unpacking is over. Once
// the unpack folder exists the main thread is inside the unpacking; a message sent to its window is
// then handled either in a box's modal loop (and that box exists) or after the unpacking returned.
// An answered box takes Wine about two seconds to go (it waits for a window manager that Xvfb does
// not have), so the stubs are driven side by side rather than one after the other.
void LookAtUnpacking(const StubCase& stub, Unpacking& run) {
  const DWORD pid = run.process.dwProcessId;
  if (WaitForSingleObject(run.process.hProcess, 0) == WAIT_OBJECT_0) {
    run.exited = true;
    return;
  }
  const MessageBoxSeen box = WaitForMessageBox(1, pid);
  if (box.window != nullptr) {
    if (std::find(run.answered.begin(), run.answered.end(), box.window) == run.answered.end()) {
      run.looks.push_back(LookAtMessageBox(box.window));
      run.boxes.push_back(box);
      run.answered.push_back(box.window);
      AnswerMessageBox(box.window);
    }
    run.quiet = 0;
    return;
  }
  const HWND main = DirectoryExists(stub.UnpackFolder(1)) ? WaitForMainWindow(pid, 0) : nullptr;
  DWORD_PTR result = 0;
  if (main == nullptr || !SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result) || HasMessageBox(pid)) {
    run.quiet = 0;
    return;
  }
  // Twice in a row, for good measure.
  run.over = ++run.quiet == 2;
}

// Starts every case at once and drives them until each unpacking is over.
std::vector<Unpacking> UnpackAll(const std::vector<const StubCase*>& cases) {
  std::vector<Unpacking> runs(cases.size());
  for (size_t i = 0; i < cases.size(); ++i) runs[i].process = cases[i]->Start();
  const DWORD start = GetTickCount();
  bool busy = true;
  while (busy && GetTickCount() - start < 60000) {
    busy = false;
    for (size_t i = 0; i < cases.size(); ++i) {
      if (runs[i].over || runs[i].exited) continue;
      LookAtUnpacking(*cases[i], runs[i]);
      busy = true;
    }
  }
  return runs;
}

// Closes the stubs' windows as the user would and waits for their exits.
std::vector<StubRun> CloseAll(const std::vector<const StubCase*>& cases, const std::vector<Unpacking>& runs) {
  for (const Unpacking& run : runs) {
    const HWND main = WaitForMainWindow(run.process.dwProcessId, 5000);
    if (main != nullptr) CloseWindowAsUser(main);
  }
  std::vector<StubRun> ends;
  for (size_t i = 0; i < cases.size(); ++i) ends.push_back(cases[i]->Watch(runs[i].process, 30000));
  return ends;
}

// The could-not-create boxes of the entries, for their scratch files "vornix_1\<scratch>".
void ExpectCreateFileBoxes(const StubCase& stub, const Unpacking& run, const std::vector<std::string>& scratches) {
  ASSERT_EQ(scratches.size(), run.boxes.size());
  for (size_t i = 0; i < scratches.size(); ++i) {
    SCOPED_TRACE("box " + std::to_string(i));
    ExpectErrorBox(run.boxes[i], run.looks[i], CreateFileText(stub.UnpackFolder(1) + scratches[i]));
  }
}

// Each case ended with its exit code, without a box after the window was closed.
void ExpectExitCodes(const std::vector<StubRun>& ends, const std::vector<DWORD>& exit_codes) {
  ASSERT_EQ(exit_codes.size(), ends.size());
  for (size_t i = 0; i < ends.size(); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    ASSERT_TRUE(ends[i].exited);
    EXPECT_EQ(exit_codes[i], ends[i].exit_code);
    EXPECT_TRUE(ends[i].boxes.empty());
  }
}

void ExpectExitCodes(const std::vector<StubRun>& ends, DWORD exit_code) {
  ExpectExitCodes(ends, std::vector<DWORD>(ends.size(), exit_code));
}

void ExpectFileBytes(const std::string& path, const std::vector<uint8_t>& data) {
  ASSERT_TRUE(FileExists(path)) << path;
  const std::vector<uint8_t> got = ReadWholeFile(path);
  ASSERT_EQ(data.size(), got.size()) << path;
  const auto differ = std::mismatch(data.begin(), data.end(), got.begin());
  EXPECT_TRUE(differ.first == data.end()) << path << " differs at byte " << (differ.first - data.begin());
}

// The folders from the unpack folder up to the drive's root, each ending in a backslash.
std::vector<std::string> FoldersUpTheTree(const std::string& folder) {
  std::vector<std::string> folders;
  for (size_t end = folder.size() - 1; end != std::string::npos && end > 0; end = folder.rfind('\\', end - 1)) {
    folders.push_back(folder.substr(0, end + 1));
  }
  return folders;
}

// Cases run side by side, each in its own case folder.
struct CaseSet {
  const StubCase& Add(const std::string& name, const std::vector<uint8_t>& package) {
    owned.push_back(std::make_unique<StubCase>(name));
    owned.back()->WritePackage(package);
    cases.push_back(owned.back().get());
    return *owned.back();
  }
  std::vector<std::unique_ptr<StubCase>> owned;
  std::vector<const StubCase*> cases;
};

struct MethodCase {
  const char* label;
  uint8_t method;
};

TEST(StubUnpack, EveryMethodUnpacksEveryFileByteForByte) {
  const MethodCase methods[] = {{"lzh", 0}, {"lzrw1kh", 1}, {"advise", 2}};
  std::vector<StubFile> files = {
      {"empty.txt", {}, 0},
      {"hello.txt", Bytes("Hello from the package.\r\nSecond line.\r\n"), 0},
      {"mixed.bin", MixedData(1048576 + 777), 0},
      {"README", Bytes("no extension"), 0},
      {"archive.tar.gz", MixedData(70001), 0},
  };
  CaseSet set;
  for (const MethodCase& method : methods) {
    for (StubFile& file : files) file.method = method.method;
    const PackageBytes package(BuildPackage("Methods", "Vornix tests", "Every method", 0, 0, files));
    // The streams really are of the method asked for: "LZH!" and "LZRW" as little-endian numbers.
    if (method.method == 0) {
      EXPECT_EQ(0x4C5A4821u, package.Load32(package.Stream(2)));
    } else if (method.method == 1) {
      EXPECT_EQ(0x4C5A5257u, package.Load32(package.Stream(2)));
    }
    set.Add(std::string("unpack method ") + method.label, package.bytes);
  }

  const std::vector<Unpacking> runs = UnpackAll(set.cases);
  for (size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE(methods[i].label);
    const StubCase& stub = *set.cases[i];
    EXPECT_TRUE(runs[i].over);
    EXPECT_TRUE(runs[i].boxes.empty());
    EXPECT_EQ(Sorted({"empty.txt", "hello.txt", "mixed.bin", "README", "archive.tar.gz"}),
              FolderNames(stub.UnpackFolder(1)));
    for (const StubFile& file : files) ExpectFileBytes(stub.UnpackFolder(1) + file.name, file.data);
    EXPECT_EQ(std::vector<std::string>{"vornix_1"}, FolderNames(stub.temp_folder));
  }
  ExpectExitCodes(CloseAll(set.cases, runs), 0);
}

// Damage that the container must notice besides an unknown method identifier (DamageId): an
// original size larger than the code holds, and a block length over 32769 (the stream layout:
// docs/container-format.md).
void RaiseOriginalSize(PackageBytes& package, int entry) {
  const size_t at = package.Stream(entry) + 4;
  package.Store32(at, package.Load32(at) + 4096);
}
void DamageSecondBlock(PackageBytes& package, int entry) {
  const size_t first_block = package.Stream(entry) + 8;
  const size_t second_block = first_block + 2 + (package.bytes[first_block] | package.bytes[first_block + 1] << 8);
  package.bytes[second_block] = 0xFF;
  package.bytes[second_block + 1] = 0xFF;
}

TEST(StubUnpack, DamagedEntriesShowTheirScratchFileAndTheOthersAreStillUnpacked) {
  const std::vector<StubFile> files = {
      {"first.txt", Bytes("first"), 1},   {"badid.dat", MixedData(5000), 1},   {"middle.txt", Bytes("middle"), 0},
      {"short.lzh", MixedData(50000), 0}, {"block.bin", MixedData(100000), 1}, {"last.txt", Bytes("last"), 1},
  };
  PackageBytes damaged(BuildPackage("Damaged", "Vornix tests", "", 0, 0, files));
  DamageId(damaged, 1);
  RaiseOriginalSize(damaged, 3);
  DamageSecondBlock(damaged, 4);
  // The scratch file of a name without a dot, with two dots, and of a name that starts with its dot.
  const std::vector<StubFile> dotted = {
      {"README", MixedData(3000), 1},
      {"notes.v1.txt", MixedData(3000), 0},
      {".config", MixedData(3000), 1},
      {"kept.txt", Bytes("kept"), 0},
  };
  PackageBytes names(BuildPackage("Scratch", "Vornix tests", "", 0, 0, dotted));
  for (int entry : {0, 1, 2}) DamageId(names, entry);
  CaseSet set;
  const StubCase& first = set.Add("unpack damaged", damaged.bytes);
  const StubCase& second = set.Add("unpack damaged names", names.bytes);

  const std::vector<Unpacking> runs = UnpackAll(set.cases);
  EXPECT_TRUE(runs[0].over);
  ExpectCreateFileBoxes(first, runs[0], {"badid.~~c", "short.~~c", "block.~~c"});
  // The damaged entries leave partial (possibly empty) targets, and no scratch file is left.
  EXPECT_EQ(Sorted({"first.txt", "badid.dat", "middle.txt", "short.lzh", "block.bin", "last.txt"}),
            FolderNames(first.UnpackFolder(1)));
  for (int good : {0, 2, 5}) ExpectFileBytes(first.UnpackFolder(1) + files[good].name, files[good].data);
  for (int bad : {1, 3, 4}) {
    EXPECT_LT(ReadWholeFile(first.UnpackFolder(1) + files[bad].name).size(), files[bad].data.size());
  }
  EXPECT_TRUE(runs[1].over);
  ExpectCreateFileBoxes(second, runs[1], {"README.~~c", "notes.v1.~~c", ".~~c"});
  EXPECT_EQ(Sorted({"README", "notes.v1.txt", ".config", "kept.txt"}), FolderNames(second.UnpackFolder(1)));
  ExpectFileBytes(second.UnpackFolder(1) + "kept.txt", Bytes("kept"));
  ExpectExitCodes(CloseAll(set.cases, runs), 2);
}

TEST(StubUnpack, DamagedEntryBeforeTheProgramIsRemovedByTheCleanUp) {
  StubCase stub("unpack damaged then run");
  const std::vector<StubFile> files = {
      {"first.txt", Bytes("first"), 1},
      {"block.bin", MixedData(100000), 1},
      MarkerProgram(),
  };
  PackageBytes package(BuildPackage("Damaged", "Vornix tests", "", 2, 1, files));
  DamageSecondBlock(package, 1);
  stub.WritePackage(package.bytes);

  std::vector<std::string> while_box;
  const StubRun run = stub.Run(30000, [&](const MessageBoxSeen&) { while_box = FolderNames(stub.UnpackFolder(1)); });
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(2u, run.exit_code);
  ASSERT_EQ(1u, run.boxes.size());
  EXPECT_EQ(CreateFileText(stub.UnpackFolder(1) + "block.~~c"), run.boxes[0].text);
  EXPECT_EQ(Sorted({"first.txt", "block.bin"}), while_box);
  EXPECT_EQ(PayloadSaw(stub.UnpackFolder(1) + "marker.exe", stub.temp_folder + "vornix_1"),
            Text(ReadWholeFile(stub.marker)));
  EXPECT_FALSE(DirectoryExists(stub.UnpackFolder(1)));
  EXPECT_TRUE(FolderNames(stub.temp_folder).empty());
}

struct CutCase {
  const char* label;
  // Where the file ends, from the layout of the whole package; the victim is entry 2, "victim.bin".
  size_t (*cut)(const PackageBytes& package);
  const char* target;   // what the victim is unpacked as: its name as far as it was read
  const char* scratch;  // in the box
};

TEST(StubUnpack, CutShortPackageUnpacksTheEntriesBeforeTheCutOnly) {
  const CutCase cuts[] = {
      {"inside the name", [](const PackageBytes& p) -> size_t { return p.Offset(2) + 4; }, "vict", "vict.~~c"},
      {"behind the name", [](const PackageBytes& p) { return p.Stream(2); }, "victim.bin", "victim.~~c"},
      {"inside the stream header", [](const PackageBytes& p) { return p.Stream(2) + 5; }, "victim.bin", "victim.~~c"},
      {"inside the stream", [](const PackageBytes& p) { return p.Stream(2) + 40000; }, "victim.bin", "victim.~~c"},
      {"one byte short", [](const PackageBytes& p) -> size_t { return p.Offset(2) + p.Size(2) - 1; }, "victim.bin",
       "victim.~~c"},
  };
  const std::vector<StubFile> files = {
      {"first.txt", Bytes("first"), 0}, {"second.bin", MixedData(70000), 1}, {"victim.bin", MixedData(150000), 1},
      {"after.txt", Bytes("after"), 0}, {"zlast.txt", Bytes("last"), 1},
  };
  const PackageBytes whole(BuildPackage("Cut", "Vornix tests", "Cut short", 0, 0, files));
  CaseSet set;
  for (const CutCase& cut : cuts) {
    std::vector<uint8_t> bytes = whole.bytes;
    bytes.resize(cut.cut(whole));
    set.Add(std::string("unpack cut ") + cut.label, bytes);
  }

  const std::vector<Unpacking> runs = UnpackAll(set.cases);
  for (size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE(cuts[i].label);
    const StubCase& stub = *set.cases[i];
    EXPECT_TRUE(runs[i].over);
    ExpectCreateFileBoxes(stub, runs[i], {cuts[i].scratch});
    EXPECT_EQ(Sorted({"first.txt", "second.bin", cuts[i].target}), FolderNames(stub.UnpackFolder(1)));
    ExpectFileBytes(stub.UnpackFolder(1) + "first.txt", files[0].data);
    ExpectFileBytes(stub.UnpackFolder(1) + "second.bin", files[1].data);
    ExpectFileBytes(stub.UnpackFolder(1) + cuts[i].target, {});
  }
  ExpectExitCodes(CloseAll(set.cases, runs), 2);
}

// A name and the scratch file its box names; an empty scratch marks a name the stub must accept.
struct NameCase {
  std::string name;
  std::string scratch;
};

TEST(StubUnpack, RefusedNamesCreateNothingAnywhere) {
  const std::vector<NameCase> names = {
      {"", ".~~c"},
      {".", ".~~c"},
      {"..", "..~~c"},
      {"..\\x.exe", "..\\x.~~c"},
      {"..\\..\\x.exe", "..\\..\\x.~~c"},
      {"../x.exe", "../x.~~c"},
      {"..\\..\\..\\x.exe", "..\\..\\..\\x.~~c"},
      {"sub\\x.exe", "sub\\x.~~c"},
      {"\\x.exe", "\\x.~~c"},
      {"C:x.exe", "C:x.~~c"},
      {"C:\\x.exe", "C:\\x.~~c"},
      {"x.exe:stream", "x.~~c"},
      {"tab\there.txt", "tab\there.~~c"},
      {"\x01start.txt", "\x01start.~~c"},
      {"unit\x1F", "unit\x1F.~~c"},
      {"new\nline.txt", "new\nline.~~c"},
      {"del\x7F.txt", "del\x7F.~~c"},
      {"a<b.txt", "a<b.~~c"},
      {"a>b.txt", "a>b.~~c"},
      {"say\"hi\".txt", "say\"hi\".~~c"},
      {"a|b.txt", "a|b.~~c"},
      {"what?.txt", "what?.~~c"},
      {"*.*", "*.~~c"},
      {"ends.", "ends.~~c"},
      {"ends ", "ends .~~c"},
      {"x.txt.", "x.txt.~~c"},
      {"x.txt ", "x.~~c"},
      {"CON", "CON.~~c"},
      {"con.txt", "con.~~c"},
      {"PRN", "PRN.~~c"},
      {"Aux.c", "Aux.~~c"},
      {"NUL", "NUL.~~c"},
      {"NUL.tar.gz", "NUL.tar.~~c"},
      {"COM1", "COM1.~~c"},
      {"com9.log", "com9.~~c"},
      {"LPT1", "LPT1.~~c"},
      {"lpt9.txt", "lpt9.~~c"},
      {"CONIN$", "CONIN$.~~c"},
      {"conout$.txt", "conout$.~~c"},
      {"x.~~c", "x.~~c"},
      {"SETUP.~~C", "SETUP.~~c"},
      {"a.b.~~c", "a.b.~~c"},
      // Near misses: ordinary names.
      {"COM10.txt", ""},
      {"CONSOLE.log", ""},
      {"xnul.txt", ""},
      {"auxiliary", ""},
      {"LPT.txt", ""},
      {"x.~~cc", ""},
      {"x~~c", ""},
      {"with blank.txt", ""},
      {"a.b.c.d", ""},
  };
  // A handful of names per package, between two ordinary entries; the packages run side by side.
  constexpr size_t kPerPackage = 6;
  CaseSet set;
  std::vector<std::vector<StubFile>> packed;
  std::vector<std::vector<std::string>> scratches;
  for (size_t first = 0; first < names.size(); first += kPerPackage) {
    const size_t end = std::min(names.size(), first + kPerPackage);
    std::vector<StubFile> files = {{"first.txt", Bytes("first"), 1}};
    for (size_t i = first; i < end; ++i) {
      // A name the writer refuses is written as a placeholder of its length (a letter of its own:
      // the writer refuses two equal names), then patched.
      const std::string& name = names[i].name;
      const char letter = static_cast<char>('a' + (i - first));
      files.push_back({names[i].scratch.empty() ? name : std::string(std::max<size_t>(name.size(), 1), letter),
                       Bytes("content of " + name), 1});
    }
    files.push_back({"last.txt", Bytes("last"), 0});
    PackageBytes package(BuildPackage("Names", "Vornix tests", "", 0, 0, files));
    scratches.emplace_back();
    for (size_t i = first; i < end; ++i) {
      if (names[i].scratch.empty()) continue;
      const int entry = static_cast<int>(i - first + 1);
      package.Rename(entry, names[i].name);
      ASSERT_EQ(names[i].name, package.Name(entry));
      files[entry].name.clear();
      scratches.back().push_back(names[i].scratch);
    }
    files.erase(std::remove_if(files.begin(), files.end(), [](const StubFile& file) { return file.name.empty(); }),
                files.end());
    packed.push_back(files);
    set.Add("unpack names " + std::to_string(first / kPerPackage), package.bytes);
  }

  const std::vector<Unpacking> runs = UnpackAll(set.cases);
  std::vector<DWORD> exit_codes;
  for (size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE("package " + std::to_string(i));
    exit_codes.push_back(scratches[i].empty() ? 0 : 2);
    const StubCase& stub = *set.cases[i];
    EXPECT_TRUE(runs[i].over);
    ExpectCreateFileBoxes(stub, runs[i], scratches[i]);
    std::vector<std::string> unpacked;
    for (const StubFile& file : packed[i]) {
      unpacked.push_back(file.name);
      ExpectFileBytes(stub.UnpackFolder(1) + file.name, file.data);
    }
    EXPECT_EQ(Sorted(unpacked), FolderNames(stub.UnpackFolder(1)));
    EXPECT_EQ(std::vector<std::string>{"vornix_1"}, FolderNames(stub.temp_folder));
    EXPECT_EQ(Sorted({"setup.exe", "temp dir"}), FolderNames(stub.folder));
    for (const std::string& folder : FoldersUpTheTree(stub.UnpackFolder(1))) {
      EXPECT_FALSE(FileExists(folder + "x.exe")) << folder;
      EXPECT_FALSE(FileExists(folder + "x.~~c")) << folder;
    }
  }
  // A package of ordinary names only is unpacked without a failure.
  ExpectExitCodes(CloseAll(set.cases, runs), exit_codes);
}

enum class Behind { Unpacked, NotAttempted, Either };

struct BoundsCase {
  const char* label;
  // The victim's new slot, from the built package; the victim is entry 1, "victim.bin".
  std::pair<uint32_t, uint32_t> (*slot)(const PackageBytes& package);
  const char* scratch;
  Behind behind;  // what becomes of the entry behind the victim
};

TEST(StubUnpack, EntriesOutsideTheirBoundsFailWithoutReadingThem) {
  using Slot = std::pair<uint32_t, uint32_t>;
  const BoundsCase bounds[] = {
      {"size 0", [](const PackageBytes& p) { return Slot(p.Offset(1), 0); }, "victim.~~c", Behind::Unpacked},
      {"ends inside the name", [](const PackageBytes& p) { return Slot(p.Offset(1), 4); }, "victim.~~c",
       Behind::Unpacked},
      {"ends at the zero byte", [](const PackageBytes& p) { return Slot(p.Offset(1), 10); }, "victim.~~c",
       Behind::Unpacked},
      {"ends behind the name", [](const PackageBytes& p) { return Slot(p.Offset(1), 11); }, "victim.~~c",
       Behind::Unpacked},
      {"ends one byte past the file",
       [](const PackageBytes& p) { return Slot(p.Offset(1), static_cast<uint32_t>(p.bytes.size()) - p.Offset(1) + 1); },
       "victim.~~c", Behind::Either},
      {"size 0x7FFFFFF0", [](const PackageBytes& p) { return Slot(p.Offset(1), 0x7FFFFFF0u); }, "victim.~~c",
       Behind::Either},
      {"ends at 2^32", [](const PackageBytes& p) { return Slot(p.Offset(1), 0u - p.Offset(1)); }, "victim.~~c",
       Behind::Either},
      {"size 0xFFFFFFFF", [](const PackageBytes& p) { return Slot(p.Offset(1), 0xFFFFFFFFu); }, "victim.~~c",
       Behind::Either},
      {"offset at the end of the file",
       [](const PackageBytes& p) { return Slot(static_cast<uint32_t>(p.bytes.size()), p.Size(1)); }, ".~~c",
       Behind::NotAttempted},
      {"offset 0xFFFFFFF0", [](const PackageBytes&) { return Slot(0xFFFFFFF0u, 16); }, ".~~c", Behind::NotAttempted},
  };
  const std::vector<StubFile> files = {
      {"first.txt", Bytes("first"), 0},
      {"victim.bin", MixedData(40000), 1},
      {"after.txt", Bytes("after"), 1},
  };
  const PackageBytes whole(BuildPackage("Bounds", "Vornix tests", "", 0, 0, files));
  ASSERT_EQ("victim.bin", whole.Name(1));
  CaseSet set;
  for (const BoundsCase& bound : bounds) {
    PackageBytes package = whole;
    const Slot slot = bound.slot(whole);
    package.SetSlot(1, slot.first, slot.second);
    set.Add(std::string("unpack bounds ") + bound.label, package.bytes);
  }

  const std::vector<Unpacking> runs = UnpackAll(set.cases);
  for (size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE(bounds[i].label);
    const StubCase& stub = *set.cases[i];
    EXPECT_TRUE(runs[i].over);
    ExpectCreateFileBoxes(stub, runs[i], {bounds[i].scratch});
    ExpectFileBytes(stub.UnpackFolder(1) + "first.txt", files[0].data);
    // Nothing of the claimed size was read: a target made for the victim is empty.
    EXPECT_EQ(0u, ReadWholeFile(stub.UnpackFolder(1) + "victim.bin").size());
    const bool behind = FileExists(stub.UnpackFolder(1) + "after.txt");
    if (bounds[i].behind == Behind::Unpacked) {
      EXPECT_TRUE(behind);
    } else if (bounds[i].behind == Behind::NotAttempted) {
      EXPECT_FALSE(behind);
    }
    if (behind) ExpectFileBytes(stub.UnpackFolder(1) + "after.txt", files[2].data);
    for (const std::string& name : FolderNames(stub.UnpackFolder(1))) {
      EXPECT_TRUE(name == "first.txt" || name == "victim.bin" || name == "after.txt") << name;
    }
  }
  ExpectExitCodes(CloseAll(set.cases, runs), 2);
}

}  // namespace
}  // namespace vornix
