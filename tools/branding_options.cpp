// Reading the branding options and applying them to the stub before anything is written.
#include "tools/branding_options.h"

#include "package/package_layout.h"
#include "resources/icon_png.h"
#include "resources/pe_image.h"
#include "resources/stub_branding.h"
#include "tools/codepage.h"
#include "tools/commands.h"

namespace vornix::tools {
namespace {

constexpr size_t kMaxCopyrightLength = 255;

VersionNumbers ParseVersion(const std::string& text) {
  const UsageError malformed("--product-version: \"" + text +
                             "\" is not a version: give one to four numbers from 0 to 65535, as in 1.2.3.4");
  VersionNumbers numbers = {};
  size_t part = 0;
  size_t digits = 0;
  uint32_t value = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      if (digits == 0 || part == numbers.size()) throw malformed;
      numbers[part++] = static_cast<uint16_t>(value);
      digits = 0;
      value = 0;
    } else if (text[i] >= '0' && text[i] <= '9' && digits < 5) {
      value = value * 10 + static_cast<uint32_t>(text[i] - '0');
      if (value > 0xFFFF) throw malformed;
      ++digits;
    } else {
      throw malformed;
    }
  }
  return numbers;
}

std::u16string Utf16Option(const TArguments& arguments, const char* name) {
  try {
    return ToUtf16(arguments.Value(name));
  } catch (const Exception& failure) {
    throw Exception(std::string("--") + name + ": " + failure.Message());
  }
}

// The stub's room is at most PackageOffset (332 KB), and only 256-pixel bitmaps shrink (as PNG), each
// from 264 KB: 4 MiB is fifteen of them, far more than any icon that can fit, and a larger file is
// not read.
constexpr int64_t kMaxIconFileSize = 4 << 20;

std::vector<IconImage> ReadIcon(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadSmallInput(path, "the icon", kMaxIconFileSize, [](int64_t size) {
    return "the icon is " + std::to_string(size) + " bytes; vornix reads icons of at most " +
           std::to_string(kMaxIconFileSize);
  });
  try {
    return ReadIconFile(bytes);
  } catch (const Exception& failure) {
    throw Exception(path + ": " + failure.Message());
  }
}

}  // namespace

PackStub BrandPackStub(const TArguments& Arguments, std::vector<uint8_t> Stub, const std::string& StubName) {
  PackStub stub;
  const bool asked = Arguments.Has("icon") || Arguments.Has("product-version") || Arguments.Has("copyright");
  if (!TPeImage::Recognised(Stub)) {
    if (asked) throw Exception(StubName + ": the stub is no PE image, so it takes no icon or version information");
    stub.Bytes = std::move(Stub);
    return stub;
  }
  const auto unfit = [&StubName](const Exception& failure) {
    return Exception(StubName + ": the stub cannot take the package's resources: " + failure.Message());
  };

  StubBranding branding;
  branding.Title = Utf16Option(Arguments, "title");
  branding.Publisher = Utf16Option(Arguments, "publisher");
  if (Arguments.Has("copyright")) {
    branding.Copyright = Utf16Option(Arguments, "copyright");
    if (branding.Copyright.size() > kMaxCopyrightLength) {
      throw Exception("--copyright: " + std::to_string(branding.Copyright.size()) +
                      " characters; the version information takes at most " + std::to_string(kMaxCopyrightLength));
    }
  }
  if (Arguments.Has("product-version")) {
    branding.Numbers = ParseVersion(Arguments.Value("product-version"));
    branding.Version = ToUtf16(Arguments.Value("product-version"));
  }
  if (Arguments.Has("icon")) branding.Icon = ReadIcon(Arguments.Value("icon"));

  const auto brand = [&] {
    try {
      return BrandStub(Stub, branding, PackageOffset);
    } catch (const Exception& failure) {
      throw unfit(failure);
    }
  };
  BrandedStub branded = brand();
  // An icon that fits is stored byte for byte as given; only one that does not has its 256-pixel
  // bitmaps stored as PNG.
  if (!branded.Fits() && !branding.Icon.empty()) {
    branding.Icon = BitmapsAsPng(branding.Icon);
    branded = brand();
  }
  if (!branded.Fits()) {
    throw Exception((Arguments.Has("icon") ? Arguments.Value("icon") : StubName) + ": the resources would take " +
                    std::to_string(branded.ResourceSize) + " bytes; the stub has room for " +
                    std::to_string(branded.Room));
  }
  stub.Bytes = std::move(branded.Bytes);
  stub.Rewritten = true;
  stub.ResourceSize = branded.ResourceSize;
  stub.Room = branded.Room;
  return stub;
}

}  // namespace vornix::tools
