// Conversion between UTF-8, in which the vornix command takes texts and file names, and the Windows
// single-byte ANSI code page in which a package stores them, plus the case-folded key by which file
// names are compared the way Windows compares them.
#pragma once

#include <cstdint>
#include <string>

namespace vornix::tools {

constexpr int kDefaultCodePage = 1252;

// Whether the tool holds a table for this code page: 874 and 1250 to 1258.
bool CodePageSupported(int code_page);

// "874, 1250-1258", for error messages and --help.
const char* SupportedCodePages();

// UTF-8 text to the code page's bytes. Bytes below 0x80 stay as they are. Raises Exception when the
// code page is not supported, when the text is not valid UTF-8 (overlong forms, surrogates, code
// points above U+10FFFF, cut-short sequences and stray continuation bytes are invalid; the message
// names the byte that starts the broken sequence) or when it holds a character the code page cannot
// hold; never replaces anything.
std::string ToCodePage(const std::string& utf8, int code_page);

// UTF-8 text to UTF-16, characters outside the Basic Multilingual Plane as surrogate pairs. Raises
// Exception for text that is not valid UTF-8, as ToCodePage does.
std::u16string ToUtf16(const std::string& utf8);

// The code page's bytes to UTF-8; a byte the code page does not define becomes U+FFFD and clears
// *complete when given (which is otherwise left as it is). Raises Exception for an unsupported code
// page.
std::string FromCodePage(const std::string& bytes, int code_page, bool* complete = nullptr);

// A key for comparing file names with case ignored, as Windows does: UTF-8 in, UTF-8 out, each
// letter folded to lower case. Covers ASCII and the letters the supported code pages hold: Latin-1
// (U+00C0-U+00DE except U+00D7), the Latin Extended-A pairs (U+0100-U+017F, with U+0178 to U+00FF;
// U+0130 and U+0131 are not a pair and stay), Greek (with the accented capitals U+0386,
// U+0388-U+038F and U+03AA-U+03AB), Cyrillic (U+0400-U+042F, U+0490). Invalid UTF-8 is folded
// bytewise (ASCII only) rather than raising.
std::string FoldCase(const std::string& utf8);

// The code points of bytes 0x80-0xFF of code_page, 0 where it defines no character, or nullptr
// when the code page is not supported. Generated into codepage_tables.cpp.
const std::uint16_t* CodePageHighHalf(int code_page);

}  // namespace vornix::tools
