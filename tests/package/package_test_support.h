// What the package tests share: the worked example's texts and header bytes, little-endian reads
// of written bytes and the message of a raised Exception, and the names the tests use for them.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/exception.h"
#include "tests/compression/test_data.h"

namespace vornix::test {

// The worked example: 16 entries, the 13th run after unpacking, texts of 14, 36 and 109 bytes.
inline const std::string kWorkedPublisher = "Vornix Project";
inline const std::string kWorkedTitle = "Vornix Demonstration Package, v1.0.3";
inline const std::string kWorkedNote =
    "This package unpacks sixteen files into a temporary folder,\r\n"
    "and runs setup.exe once they are all in place.\r\n";
inline const Bytes kWorkedHeader = Hex("01 00 00 00 10 0E 24 6D 0C 01 00 00");
// From PackageOffset: the table behind the header and the texts, the first entry behind the table.
constexpr int64_t kWorkedTableStart = 171;
constexpr int64_t kWorkedFirstEntry = 299;

inline uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// The message of the Exception that operation raises, or "" when it raises none.
template <typename Operation>
std::string FailureOf(Operation operation) {
  try {
    operation();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "";
}

}  // namespace vornix::test

// The package tests live in namespace vornix beside the unit they test and use these without their
// namespace.
namespace vornix {
using test::Bytes;
using test::FailureOf;
using test::FromString;
using test::Hex;
using test::kWorkedFirstEntry;
using test::kWorkedHeader;
using test::kWorkedTableStart;
using test::Le32;
}  // namespace vornix
