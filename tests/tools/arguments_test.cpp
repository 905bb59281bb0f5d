// The subcommands' command-line parser: every form of option and value, "--" and the exact usage
// errors.
#include "tools/arguments.h"

#include <gtest/gtest.h>

#include "tests/package/package_test_support.h"

namespace vornix::tools {
namespace {

TArguments Parse(const std::vector<std::string>& args) {
  return TArguments(args, {{"output", 'o', true}, {"jobs", 0, true}, {"quiet", 'q', false}});
}

TEST(Arguments, OptionsValuesAndOperands) {
  const TArguments arguments = Parse({"a", "-o", "x.exe", "--jobs=3", "-q", "b", "--", "--quiet", "-"});
  EXPECT_EQ(arguments.Value("output"), "x.exe");
  EXPECT_EQ(arguments.Number("jobs", 1, 1, 8), 3);
  EXPECT_TRUE(arguments.Has("quiet"));
  EXPECT_FALSE(arguments.HelpWanted());
  EXPECT_EQ(arguments.Operands(), (std::vector<std::string>{"a", "b", "--quiet", "-"}));
  // The last of a repeated option counts; an absent one gives the fallback.
  EXPECT_EQ(Parse({"--output", "1", "--output=2"}).Value("output"), "2");
  EXPECT_EQ(Parse({}).Value("output", "none"), "none");
  EXPECT_EQ(Parse({}).Number("jobs", 4, 1, 8), 4);
  EXPECT_TRUE(Parse({"-h"}).HelpWanted());
  EXPECT_TRUE(Parse({"--help"}).HelpWanted());
}

TEST(Arguments, UsageErrors) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--frob"}, "unknown option '--frob'"}, {{"-x"}, "unknown option '-x'"},
      {{"-oq"}, "unknown option '-oq'"},       {{"--output"}, "--output needs a value"},
      {{"-o"}, "--output needs a value"},      {{"--quiet=yes"}, "--quiet takes no value"},
  };
  for (const auto& c : cases) EXPECT_EQ(FailureOf([&] { Parse(c.first); }), c.second) << c.first[0];
  for (const char* jobs : {"0", "9", "two", "", "3x", "99999999999"}) {
    EXPECT_EQ(FailureOf([&] {
                Parse({"--jobs", jobs}).Number("jobs", 1, 1, 8);
              }),
              std::string("--jobs takes a whole number from 1 to 8, not '") + jobs + "'")
        << jobs;
  }
}

}  // namespace
}  // namespace vornix::tools
