// The entry-name rule: names the stub can create as one plain file in the unpack folder, and the
// names it refuses with the reason given.
#include "package/entry_name.h"

#include <gtest/gtest.h>

namespace vornix {
namespace {

TEST(PackageEntryNameRule, PlainFileNamesPass) {
  const std::string good[] = {
      "setup.exe",
      "README",
      "a..b.txt",
      ".hidden",
      "x",
      "a b.txt",
      "~$draft.doc",
      "caf\xE9.txt",
      "\xC0\xFF\x80",
      std::string(255, 'n'),
      std::string(251, 'n') + ".txt",
      // Close to the device names but not one of them.
      "CONSOLE.exe",
      "CONIN",
      "CONOUT.txt",
      "NULL",
      "con1",
      "auxiliary",
      "x.con",
      "my.aux.txt",
      "COM",
      "LPT.txt",
      "COM10.txt",
      "LPT99",
      "COMA",
      "COM\xB1",  // plus-minus, not a superscript digit
      "LPT\xB4",  // acute accent
      "com1x.log",
      "prn_list.txt",
  };
  for (const std::string& name : good) {
    EXPECT_STREQ(EntryNameProblem(name), nullptr) << '"' << name << '"';
  }
}

struct BadName {
  std::string name;
  const char* reason;
};

TEST(PackageEntryNameRule, RefusedNamesAndWhy) {
  const char* empty = "it is empty";
  const char* folder = "it names a folder";
  const char* long_name = "it is longer than 255 bytes";
  const char* control = "it holds a control character";
  const char* separator = "it holds a folder separator or a drive colon";
  const char* reserved = "it holds a character Windows does not allow in file names";
  const char* trailing = "it ends in a dot or blank";
  const char* device = "it names a device";
  const BadName bad[] = {
      {"", empty},
      {".", folder},
      {"..", folder},
      {std::string(256, 'n'), long_name},
      {std::string(252, 'n') + ".txt", long_name},
      {std::string(300, '/'), long_name},  // the length is judged first
      {"a\\b", separator},
      {"..\\evil.exe", separator},
      {"a/b", separator},
      {"/etc", separator},
      {"c:x", separator},
      {"C:", separator},
      {"file.txt:stream", separator},
      {"con:", separator},
      {"\x01", control},
      {"a\tb", control},
      {"line\r\n", control},
      {"\x1F.txt", control},
      {"del\x7F", control},
      {std::string("a\0b", 3), control},
      {std::string(1, '\0'), control},
      {"a\x01/", control},  // the first bad character decides
      {"a<b", reserved},
      {"a>b", reserved},
      {"say \"hi\"", reserved},
      {"a|b", reserved},
      {"why?", reserved},
      {"*.*", reserved},
      {"setup.", trailing},
      {"setup ", trailing},
      {"...", trailing},
      {"a. ", trailing},
      {" ", trailing},
      {"CON ", trailing},
      {"aux.", trailing},
      {"CON", device},
      {"con", device},
      {"Con", device},
      {"PRN", device},
      {"aux", device},
      {"NUL", device},
      {"nUl", device},
      {"CONIN$", device},
      {"conout$", device},
      {"COM0", device},
      {"com9", device},
      {"LPT0", device},
      {"lpt9", device},
      {"COM\xB9", device},
      {"com\xB2", device},
      {"LPT\xB3", device},
      {"lpt\xB9.txt", device},
      {"con.txt", device},
      {"NUL.tar.gz", device},
      {"com1 .log", device},
      {"prn  .h", device},
      {"Aux.c", device},
      {"CONOUT$.log", device},
      // The unpacking's scratch files: such an entry would be replaced and deleted by another's.
      {"setup.~~c", "it ends in .~~c"},
      {"README.~~C", "it ends in .~~c"},
      {".~~c", "it ends in .~~c"},
  };
  for (const BadName& c : bad) {
    EXPECT_STREQ(EntryNameProblem(c.name), c.reason) << '"' << c.name << '"';
  }
}

// Enough paths to grow the table several times; each is found again under any case, and only once.
TEST(FoldedPathSet, HoldsEachPathOnceWhateverItsCase) {
  TFoldedPathSet set;
  EXPECT_FALSE(set.Contains("a"));
  for (int i = 0; i < 300; ++i) EXPECT_TRUE(set.Insert("Folder\\file" + std::to_string(i) + ".txt"));
  for (int i = 0; i < 300; ++i) {
    EXPECT_TRUE(set.Contains("FOLDER\\FILE" + std::to_string(i) + ".TXT"));
    EXPECT_FALSE(set.Insert("folder\\File" + std::to_string(i) + ".txt"));
  }
  EXPECT_FALSE(set.Contains("Folder\\file300.txt"));
  EXPECT_FALSE(set.Contains("Folder\\file1.tx"));
  EXPECT_TRUE(set.Insert(""));
  EXPECT_FALSE(set.Insert(""));
}

}  // namespace
}  // namespace vornix
