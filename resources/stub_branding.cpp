// Branding the stub: the version resource is built anew from the package's texts, the icon group
// the stub loads is replaced by the publisher's images, and the section is written back in place.
#include "resources/stub_branding.h"

#include <algorithm>

#include "compression/unaligned.h"
#include "resources/pe_image.h"
#include "resources/resource_section.h"
#include "runtime/exception.h"

namespace vornix {
namespace {

// An icon group's 6-byte header holds its image count at +4; each 14-byte entry ends in the
// number of the icon resource holding the image.
constexpr size_t kGroupHeaderSize = 6;
constexpr size_t kGroupEntrySize = 14;

bool IsType(const Resource& resource, uint16_t type) {
  return resource.Type.Text.empty() && resource.Type.Number == type;
}

std::vector<uint16_t> GroupImageIds(const std::vector<uint8_t>& group) {
  std::vector<uint16_t> ids;
  if (group.size() < kGroupHeaderSize) return ids;
  const size_t count = std::min<size_t>(LoadLE16(&group[4]), (group.size() - kGroupHeaderSize) / kGroupEntrySize);
  for (size_t i = 0; i < count; ++i) ids.push_back(LoadLE16(&group[kGroupHeaderSize + i * kGroupEntrySize + 12]));
  return ids;
}

void ReplaceIcon(std::vector<Resource>& resources, const std::vector<IconImage>& images) {
  auto group = std::find_if(resources.begin(), resources.end(), [](const Resource& r) {
    return IsType(r, kResourceIconGroup) && r.Name.Text == kStubIconName;
  });
  if (group == resources.end()) {
    Resource added;
    added.Type.Number = kResourceIconGroup;
    added.Name.Text = kStubIconName;
    added.Language = kUsEnglish;
    resources.push_back(added);
    group = resources.end() - 1;
  }
  const uint16_t language = group->Language;
  const std::vector<uint16_t> old_ids = GroupImageIds(group->Data);
  resources.erase(group);
  resources.erase(std::remove_if(resources.begin(), resources.end(),
                                 [&](const Resource& r) {
                                   return IsType(r, kResourceIcon) && r.Name.Text.empty() &&
                                          std::find(old_ids.begin(), old_ids.end(), r.Name.Number) != old_ids.end();
                                 }),
                  resources.end());
  // The new images take the numbers after those of the icons other groups still use.
  uint32_t first_id = 1;
  for (const Resource& r : resources) {
    if (IsType(r, kResourceIcon) && r.Name.Text.empty()) first_id = std::max<uint32_t>(first_id, r.Name.Number + 1u);
  }
  if (first_id + images.size() - 1 > 0xFFFF) throw Exception("the stub's icon numbers leave no room for the icon");
  for (size_t i = 0; i < images.size(); ++i) {
    Resource icon;
    icon.Type.Number = kResourceIcon;
    icon.Name.Number = static_cast<uint16_t>(first_id + i);
    icon.Language = language;
    icon.Data = images[i].Data;
    resources.push_back(std::move(icon));
  }
  Resource new_group;
  new_group.Type.Number = kResourceIconGroup;
  new_group.Name.Text = kStubIconName;
  new_group.Language = language;
  new_group.Data = IconGroup(images, static_cast<uint16_t>(first_id));
  resources.push_back(std::move(new_group));
}

void ReplaceVersion(std::vector<Resource>& resources, const StubBranding& branding) {
  auto version =
      std::find_if(resources.begin(), resources.end(), [](const Resource& r) { return IsType(r, kResourceVersion); });
  if (version == resources.end()) {
    Resource added;
    added.Type.Number = kResourceVersion;
    added.Name.Number = 1;
    added.Language = kUsEnglish;
    resources.push_back(added);
    version = resources.end() - 1;
  }
  VersionTexts texts;
  texts.Numbers = branding.Numbers;
  texts.Version = branding.Version;
  if (texts.Version.empty() && FixedFileVersion(version->Data, &texts.Numbers))
    texts.Version = VersionText(texts.Numbers);
  if (texts.Version.empty()) texts.Version = VersionText(texts.Numbers);
  texts.ProductName = branding.Title;
  texts.FileDescription = branding.Title;
  texts.CompanyName = branding.Publisher;
  texts.Copyright = branding.Copyright;
  version->Data = VersionResource(texts);
}

}  // namespace

std::u16string VersionText(const VersionNumbers& Numbers) {
  const size_t shown = Numbers[3] != 0 ? 4 : Numbers[2] != 0 ? 3 : 2;
  std::string text;
  for (size_t i = 0; i < shown; ++i) text += (i == 0 ? "" : ".") + std::to_string(Numbers[i]);
  return std::u16string(text.begin(), text.end());
}

BrandedStub BrandStub(const std::vector<uint8_t>& Stub, const StubBranding& Branding, int64_t Limit) {
  const TPeImage image(Stub);
  const std::vector<uint8_t> section = image.ResourceSection();
  std::vector<Resource> resources =
      ReadResourceSection(section.data(), static_cast<uint32_t>(section.size()), image.ResourceRva());
  if (!Branding.Icon.empty()) ReplaceIcon(resources, Branding.Icon);
  ReplaceVersion(resources, Branding);
  const std::vector<uint8_t> rewritten = WriteResourceSection(resources, image.ResourceRva());
  BrandedStub branded;
  branded.ResourceSize = image.SectionFileSize(rewritten.size());
  branded.Room = image.ResourceRoom(Limit);
  if (branded.Fits()) branded.Bytes = image.WithResourceSection(rewritten, Limit);
  return branded;
}

}  // namespace vornix
