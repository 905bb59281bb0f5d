// Reading the branding options and applying them to the stub before anything is written.
#include "tools/branding_options.h"

#include "package/package_layout.h"
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

// The icon's images; a file larger than the whole room cannot fit and is not read.
std::vector<IconImage> ReadIcon(const std::string& path, int64_t room) {
  const std::vector<uint8_t> bytes = ReadSmallInput(path, "the icon", room, [room](int64_t size) {
    return "the icon is " + std::to_string(size) + " bytes; the stub has room for " + std::to_string(room);
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
  int64_t room = 0;
  try {
    room = TPeImage(Stub).ResourceRoom(PackageOffset);
  } catch (const Exception& failure) {
    throw unfit(failure);
  }

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
  if (Arguments.Has("icon")) branding.Icon = ReadIcon(Arguments.Value("icon"), room);

  BrandedStub branded;
  try {
    branded = BrandStub(Stub, branding, PackageOffset);
  } catch (const Exception& failure) {
    throw unfit(failure);
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
