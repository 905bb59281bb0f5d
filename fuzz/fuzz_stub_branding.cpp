// Fuzzes what vornix pack reads before it rewrites a stub: the first byte picks the reader, the rest
// is its input. 0: an .ico file; 1: a resource section (loaded at a fixed RVA), whose resources,
// written back and read again, must be the same; 2: a whole stub, branded with a two-image icon.
// Every refusal must be a vornix::Exception; a branded stub must fit in its room and be a PE image.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <vector>

#include "resources/icon_file.h"
#include "resources/pe_image.h"
#include "resources/resource_section.h"
#include "resources/stub_branding.h"
#include "runtime/exception.h"

namespace {

using namespace vornix;

constexpr uint32_t kRva = 0x38000;
constexpr int64_t kLimit = 1 << 20;

void Check(bool condition) {
  if (!condition) std::abort();
}

void ResourceRoundTrip(const std::vector<uint8_t>& section) {
  const std::vector<Resource> read = ReadResourceSection(section.data(), static_cast<uint32_t>(section.size()), kRva);
  const std::vector<uint8_t> written = WriteResourceSection(read, kRva);
  const std::vector<Resource> again = ReadResourceSection(written.data(), static_cast<uint32_t>(written.size()), kRva);
  // The writer keeps one resource per type, name and language, in the loader's order.
  for (const Resource& resource : again) {
    bool found = false;
    for (const Resource& original : read) {
      found = found || (original.Type == resource.Type && original.Name == resource.Name &&
                        original.Language == resource.Language);
    }
    Check(found);
  }
  Check(again.size() <= read.size());
}

void Brand(const std::vector<uint8_t>& stub) {
  if (!TPeImage::Recognised(stub)) return;
  StubBranding branding;
  branding.Title = u"Title";
  branding.Publisher = u"Publisher";
  IconImage image;
  image.Width = image.Height = 16;
  image.Data.assign(40, 0);
  branding.Icon = {image, image};
  const BrandedStub branded = BrandStub(stub, branding, kLimit);
  if (!branded.Fits()) return;
  Check(static_cast<int64_t>(branded.Bytes.size()) <= kLimit && TPeImage::Recognised(branded.Bytes));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::vector<uint8_t> input(data + 1, data + size);
  try {
    switch (data[0] % 3) {
      case 0:
        for (const IconImage& image : ReadIconFile(input)) Check(!image.Data.empty());
        break;
      case 1:
        ResourceRoundTrip(input);
        break;
      default:
        Brand(input);
    }
  } catch (const Exception&) {
  } catch (const std::exception&) {
    std::abort();
  }
  return 0;
}
