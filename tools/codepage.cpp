// UTF-8 to and from the Windows ANSI code pages, through the byte tables of codepage_tables.cpp, and
// the case folding of file names. Strict both ways: a text that does not fit is refused with the
// character or byte at fault, never stored with a replacement.
#include "tools/codepage.h"

#include "runtime/exception.h"

namespace vornix::tools {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

const std::uint16_t* TableOf(int code_page) {
  const std::uint16_t* table = CodePageHighHalf(code_page);
  if (table == nullptr) {
    throw Exception("code page " + std::to_string(code_page) + " is not supported; supported: " + SupportedCodePages());
  }
  return table;
}

// value in upper-case hex, at least min_digits digits.
std::string Hex(std::uint32_t value, std::size_t min_digits) {
  std::string digits;
  do {
    digits.insert(digits.begin(), "0123456789ABCDEF"[value & 0xF]);
    value >>= 4;
  } while (value != 0 || digits.size() < min_digits);
  return digits;
}

// The length of the valid UTF-8 sequence that starts at text[offset], with its code point in
// *code_point, or 0 when the bytes there do not form one.
std::size_t DecodeUtf8(const std::string& text, std::size_t offset, char32_t* code_point) {
  const unsigned lead = static_cast<unsigned char>(text[offset]);
  std::size_t length = 0;
  char32_t value = 0;
  char32_t smallest = 0;  // below it the sequence is an overlong form
  if (lead < 0x80) {
    *code_point = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {  // C0 and C1 could only start overlong forms
    length = 2, value = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {  // F5 and up could only start values above U+10FFFF
    length = 4, value = lead & 0x07, smallest = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - offset < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned next = static_cast<unsigned char>(text[offset + i]);
    if ((next & 0xC0) != 0x80) return 0;
    value = value << 6 | (next & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code_point = value;
  return length;
}

// DecodeUtf8 for text that must be valid: raises Exception naming the byte that starts a broken
// sequence.
std::size_t DecodeValidUtf8(const std::string& text, std::size_t offset, char32_t* code_point) {
  const std::size_t length = DecodeUtf8(text, offset, code_point);
  if (length == 0) {
    throw Exception("is not valid UTF-8 (byte 0x" + Hex(static_cast<unsigned char>(text[offset]), 2) + " at offset " +
                    std::to_string(offset) + ")");
  }
  return length;
}

// Appends code_point, which lies in the Basic Multilingual Plane (every table entry does), as UTF-8.
void AppendUtf8(std::string* out, char32_t code_point) {
  if (code_point < 0x80) {
    *out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    *out += static_cast<char>(0xC0 | code_point >> 6);
    *out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | code_point >> 12);
    *out += static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

// The lower-case form of a letter the supported code pages hold, or c itself.
char32_t FoldLetter(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c >= 0xC0 && c <= 0xDE) return c == 0xD7 ? c : c + 0x20;  // U+00D7 is the multiplication sign
  if (c >= 0x0100 && c <= 0x017F) {
    if (c == 0x0178) return 0x00FF;
    // U+0130 and U+0131 are the Turkish capital of plain i and small form of plain I, not each
    // other's case; Windows leaves both as they are. U+0138, U+0149 and U+017F have no capital.
    if (c == 0x0130 || c == 0x0131) return c;
    if (c < 0x0138 || (c >= 0x014A && c < 0x0178)) return c | 1;                         // capitals even
    if ((c >= 0x0139 && c < 0x0149) || (c >= 0x0179 && c < 0x017F)) return c + (c & 1);  // capitals odd
    return c;
  }
  if (c == 0x0386) return 0x03AC;
  if (c >= 0x0388 && c <= 0x038A) return c + 0x25;
  if (c == 0x038C) return 0x03CC;
  if (c == 0x038E || c == 0x038F) return c + 0x3F;
  if (c >= 0x0391 && c <= 0x03AB && c != 0x03A2) return c + 0x20;  // U+03A2 is unassigned
  if (c >= 0x0400 && c <= 0x040F) return c + 0x50;
  if (c >= 0x0410 && c <= 0x042F) return c + 0x20;
  if (c == 0x0490) return 0x0491;
  return c;
}

}  // namespace

bool CodePageSupported(int code_page) { return CodePageHighHalf(code_page) != nullptr; }

const char* SupportedCodePages() { return "874, 1250-1258"; }

std::string ToCodePage(const std::string& utf8, int code_page) {
  const std::uint16_t* table = TableOf(code_page);
  std::string bytes;
  bytes.reserve(utf8.size());
  for (std::size_t offset = 0; offset < utf8.size();) {
    char32_t code_point = 0;
    const std::size_t length = DecodeValidUtf8(utf8, offset, &code_point);
    if (code_point < 0x80) {
      bytes += static_cast<char>(code_point);
    } else {
      // A linear search is enough: texts are at most 255 bytes. Entries of 0 never match, as
      // code_point is at least 0x80.
      std::size_t index = 0;
      while (index < 128 && table[index] != code_point) ++index;
      if (index == 128) {
        throw Exception("\"" + utf8.substr(offset, length) + "\" (U+" + Hex(code_point, 4) +
                        ") has no place in code page " + std::to_string(code_page));
      }
      bytes += static_cast<char>(0x80 + index);
    }
    offset += length;
  }
  return bytes;
}

std::u16string ToUtf16(const std::string& utf8) {
  std::u16string text;
  for (std::size_t offset = 0; offset < utf8.size();) {
    char32_t code_point = 0;
    offset += DecodeValidUtf8(utf8, offset, &code_point);
    if (code_point < 0x10000) {
      text += static_cast<char16_t>(code_point);
    } else {
      text += static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10));
      text += static_cast<char16_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
    }
  }
  return text;
}

std::string FromCodePage(const std::string& bytes, int code_page, bool* complete) {
  const std::uint16_t* table = TableOf(code_page);
  std::string utf8;
  utf8.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const unsigned byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      utf8 += c;
      continue;
    }
    char32_t code_point = table[byte - 0x80];
    if (code_point == 0) {
      code_point = kReplacementCharacter;
      if (complete != nullptr) *complete = false;
    }
    AppendUtf8(&utf8, code_point);
  }
  return utf8;
}

std::string FoldCase(const std::string& utf8) {
  std::string folded;
  folded.reserve(utf8.size());
  for (std::size_t offset = 0; offset < utf8.size();) {
    char32_t code_point = 0;
    const std::size_t length = DecodeUtf8(utf8, offset, &code_point);
    if (length == 0) {
      folded = utf8;
      for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
      }
      return folded;
    }
    const char32_t lower = FoldLetter(code_point);
    if (lower == code_point) {
      folded.append(utf8, offset, length);
    } else {
      AppendUtf8(&folded, lower);
    }
    offset += length;
  }
  return folded;
}

}  // namespace vornix::tools
