// The ANSI code page conversion: exact bytes in several code pages, the round trip of every byte,
// each refusal with its message, and the case-folded key for file names.
#include "tools/codepage.h"

#include <gtest/gtest.h>

#include <iterator>
#include <utility>

#include "runtime/exception.h"

namespace vornix::tools {
namespace {

// The message of the Exception that call raises, or "(no exception)".
template <typename Call>
std::string ErrorOf(Call call) {
  try {
    call();
  } catch (const Exception& error) {
    return error.Message();
  }
  return "(no exception)";
}

const int kSupported[] = {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

TEST(CodePageConversion, ExactBytesBothWays) {
  struct Case {
    int code_page;
    std::string utf8;
    std::string bytes;
  };
  const Case cases[] = {
      {1252, "Grüße €", "\x47\x72\xFC\xDF\x65\x20\x80"},
      {1250, "Łódź", "\xA3\xF3\x64\x9F"},
      {1251, "Привет, Ґ", "\xCF\xF0\xE8\xE2\xE5\xF2, \xA5"},
      {1253, "Ωμέγα ΐ", "\xD9\xEC\xDD\xE3\xE1 \xC0"},
      {1254, "İı Ğ", "\xDD\xFD \xD0"},
      {1255, "שלום ₪", "\xF9\xEC\xE5\xED \xA4"},
      {1256, "عربي", "\xDA\xD1\xC8\xED"},
      {1257, "Ąž", "\xC0\xFE"},
      {1258, "Tiê\xCC\x81ng", "Ti\xEA\xEC\x6E\x67"},  // 1258 holds ế only as ê and a combining acute
      {874, "ไทย ฿", "\xE4\xB7\xC2 \xDF"},
      {1252, std::string("\0\x01\t~\x7F", 5), std::string("\0\x01\t~\x7F", 5)},
      {1252, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(ToCodePage(c.utf8, c.code_page), c.bytes);
    bool complete = true;
    EXPECT_EQ(FromCodePage(c.bytes, c.code_page, &complete), c.utf8);
    EXPECT_TRUE(complete);
  }
}

// Every byte either comes back from UTF-8 as itself or is one the code page leaves undefined; the
// numbers of undefined bytes are those of the code pages (1256 defines all 128).
TEST(CodePageConversion, EveryByteRoundTrips) {
  const int undefined_counts[] = {31, 5, 1, 5, 17, 7, 23, 0, 12, 9};
  for (std::size_t i = 0; i < std::size(kSupported); ++i) {
    const int code_page = kSupported[i];
    EXPECT_TRUE(CodePageSupported(code_page));
    int undefined = 0;
    for (int value = 0; value < 256; ++value) {
      const std::string byte(1, static_cast<char>(value));
      bool complete = true;
      const std::string utf8 = FromCodePage(byte, code_page, &complete);
      if (complete) {
        EXPECT_EQ(ToCodePage(utf8, code_page), byte) << code_page << " byte " << value;
      } else {
        EXPECT_GE(value, 0x80);
        EXPECT_EQ(utf8, "\xEF\xBF\xBD") << code_page << " byte " << value;
        ++undefined;
      }
    }
    EXPECT_EQ(undefined, undefined_counts[i]) << code_page;
  }
}

TEST(CodePageConversion, UndefinedByteBecomesReplacementCharacter) {
  bool complete = true;
  EXPECT_EQ(FromCodePage("a\x81z\x9D", 1252, &complete), "a\xEF\xBF\xBDz\xEF\xBF\xBD");
  EXPECT_FALSE(complete);
  EXPECT_EQ(FromCodePage("\x81", 1252), "\xEF\xBF\xBD");  // without the flag
}

TEST(CodePageRefusal, CharacterTheCodePageLacks) {
  struct Case {
    std::string utf8;
    int code_page;
    const char* message;
  };
  // The boundary code points U+0080, U+0800, U+D7FF, U+E000, U+10000 and U+10FFFF are valid UTF-8
  // and so reach the lookup.
  const Case cases[] = {
      {"x Ω", 1252, "\"Ω\" (U+03A9) has no place in code page 1252"},
      {"Ж", 1250, "\"Ж\" (U+0416) has no place in code page 1250"},
      {"\xC2\x80", 1252, "\"\xC2\x80\" (U+0080) has no place in code page 1252"},
      {"\xC2\x81", 1252, "\"\xC2\x81\" (U+0081) has no place in code page 1252"},
      {"\xE0\xA0\x80", 1251, "\"\xE0\xA0\x80\" (U+0800) has no place in code page 1251"},
      {"\xED\x9F\xBF", 874, "\"\xED\x9F\xBF\" (U+D7FF) has no place in code page 874"},
      {"\xEE\x80\x80", 1256, "\"\xEE\x80\x80\" (U+E000) has no place in code page 1256"},
      {"ế", 1258, "\"ế\" (U+1EBF) has no place in code page 1258"},
      {"😀", 1252, "\"😀\" (U+1F600) has no place in code page 1252"},
      {"\xF0\x90\x80\x80", 1255, "\"\xF0\x90\x80\x80\" (U+10000) has no place in code page 1255"},
      {"\xF4\x8F\xBF\xBF", 1253, "\"\xF4\x8F\xBF\xBF\" (U+10FFFF) has no place in code page 1253"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf([&] { ToCodePage(c.utf8, c.code_page); }), c.message);
  }
}

TEST(CodePageRefusal, InvalidUtf8NamesTheByteThatStartsTheBrokenSequence) {
  struct Case {
    std::string utf8;
    const char* message;
  };
  const Case cases[] = {
      {"abcd\xC3", "is not valid UTF-8 (byte 0xC3 at offset 4)"},           // cut short by the end
      {"\xE2\x82", "is not valid UTF-8 (byte 0xE2 at offset 0)"},           // cut short by the end
      {"\xF0\x9F\x98", "is not valid UTF-8 (byte 0xF0 at offset 0)"},       // cut short by the end
      {"\xC3(", "is not valid UTF-8 (byte 0xC3 at offset 0)"},              // cut short by ASCII
      {"é\xE2\x82\xC3\xA9", "is not valid UTF-8 (byte 0xE2 at offset 2)"},  // cut short by a lead byte
      {"ab\x80", "is not valid UTF-8 (byte 0x80 at offset 2)"},             // stray continuation byte
      {"é\xBF", "is not valid UTF-8 (byte 0xBF at offset 2)"},              // one continuation too many
      {"caf\xE9", "is not valid UTF-8 (byte 0xE9 at offset 3)"},            // Latin-1, not UTF-8
      {"/\xC0\xAF", "is not valid UTF-8 (byte 0xC0 at offset 1)"},          // overlong '/'
      {"\xC1\xBF", "is not valid UTF-8 (byte 0xC1 at offset 0)"},           // overlong U+007F
      {"\xE0\x9F\xBF", "is not valid UTF-8 (byte 0xE0 at offset 0)"},       // overlong U+07FF
      {"\xF0\x8F\xBF\xBF", "is not valid UTF-8 (byte 0xF0 at offset 0)"},   // overlong U+FFFF
      {"\xED\xA0\x80", "is not valid UTF-8 (byte 0xED at offset 0)"},       // surrogate U+D800
      {"\xED\xBF\xBF", "is not valid UTF-8 (byte 0xED at offset 0)"},       // surrogate U+DFFF
      {"\xF4\x90\x80\x80", "is not valid UTF-8 (byte 0xF4 at offset 0)"},   // U+110000
      {"\xF5\x80\x80\x80", "is not valid UTF-8 (byte 0xF5 at offset 0)"},   // lead byte past U+10FFFF
      {"\xFF", "is not valid UTF-8 (byte 0xFF at offset 0)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf([&] { ToCodePage(c.utf8, 1252); }), c.message);
  }
}

TEST(CodePageRefusal, UnsupportedCodePage) {
  EXPECT_EQ(SupportedCodePages(), std::string("874, 1250-1258"));
  for (const int code_page : {932, 0, -1252, 1249, 1259, 65001}) {
    EXPECT_FALSE(CodePageSupported(code_page));
    const std::string message =
        "code page " + std::to_string(code_page) + " is not supported; supported: 874, 1250-1258";
    EXPECT_EQ(ErrorOf([&] { ToCodePage("", code_page); }), message);
    EXPECT_EQ(ErrorOf([&] { FromCodePage("a", code_page); }), message);
  }
}

TEST(CodePageFoldCase, FoldsTheLettersOfTheSupportedCodePages) {
  const std::pair<std::string, std::string> cases[] = {
      {"ReadMe.TXT", "readme.txt"},
      {"@AZ[`az{", "@az[`az{"},
      {"ÀÉÎÕÖØÞàþ", "àéîõöøþàþ"},
      {"ĀĂĆČĎĐĘĚĞĲĶ", "āăćčďđęěğĳķ"},  // capitals on even code points
      {"ĹĽŁŃŇĺň", "ĺľłńňĺň"},          // capitals on odd code points
      {"ŊŐŒŚŠŢŤŮŰŶ", "ŋőœśšţťůűŷ"},
      {"ŸŹŻŽ", "ÿźżž"},
      {"ΑΒΓΣΩΪΫ", "αβγσωϊϋ"},
      {"ΆΈΉΊΌΎΏ", "άέήίόύώ"},
      {"ЀЁЂЏАЯҐ", "ѐёђџаяґ"},
      {"Straße Ω.TXT", "straße ω.txt"},
      // Not letters, or no case pair Windows folds: these stay.
      {"0123456789 × ÷ ß ÿ µ", "0123456789 × ÷ ß ÿ µ"},
      {"İ ı ĸ ŉ ſ ς ΐ ΰ", "İ ı ĸ ŉ ſ ς ΐ ΰ"},
      {"\xCE\xA2 \xCE\x8B \xCE\x8D", "\xCE\xA2 \xCE\x8B \xCE\x8D"},  // unassigned U+03A2, U+038B, U+038D
      // Invalid UTF-8: ASCII only, so the valid Ä stays too.
      {"AB\xC3(Ä", "ab\xC3(Ä"},
      {"É\xFF", "É\xFF"},
  };
  for (const auto& [name, key] : cases) {
    EXPECT_EQ(FoldCase(name), key) << name;
  }
}

}  // namespace
}  // namespace vornix::tools
