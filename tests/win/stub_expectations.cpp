// The expected texts of the stub tests.
#include "tests/win/stub_expectations.h"

#include <gtest/gtest.h>

#include <vector>

namespace vornix {

std::string CreateFileText(const std::string& scratch) {
  return "     Could not create file \"" + scratch +
         "\".\r     This package could not be unpacked.  Please make sure that\ryou have downloaded the complete "
         "package and that you have enough free\rspace on the disk drive where your Windows is installed.";
}

std::string ExecuteText(const std::string& program) {
  return "     Could not execute file \"" + program + "\".\r\rPlease obtain a newer distribution of this package.\r\r";
}

void ExpectErrorBox(const MessageBoxSeen& box, const MessageBoxLooks& looks, const std::string& text) {
  EXPECT_EQ(kAppTitle, box.caption);
  EXPECT_EQ(text, box.text);
  EXPECT_EQ(std::vector<int>{IDOK}, looks.buttons);
  EXPECT_TRUE(looks.main_window_disabled);
}

StubFile MarkerProgram() { return {"marker.exe", PayloadProgram(), 1}; }

std::string PayloadSaw(const std::string& program, const std::string& directory) {
  return program + "\n\"" + program + "\"\n" + directory + "\n";
}

std::string ProgramSeen(const std::string& marker) {
  const std::string seen = Text(ReadWholeFile(marker));
  return seen.substr(0, seen.find('\n'));
}

}  // namespace vornix
