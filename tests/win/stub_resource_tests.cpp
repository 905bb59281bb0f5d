// What the stub tells Windows about itself, read back from a package with Windows' own calls: the
// application manifest (run as the caller; the Windows versions it was made for) and the version
// information Explorer shows; and what a publisher's package made by vornix pack shows instead:
// the publisher's icon and version texts. (The running window's title bar is checked on the
// screen by tests/tools/caption_icon_test.sh.)
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/win/stub_harness.h"

namespace vornix {
namespace {

TEST(StubResources, ManifestRunsAsTheCallerOnEveryWindowsSinceVista) {
  StubCase stub("manifest");
  stub.WritePackage(BuildPackage("T", "P", "N", 0, 0, {}));
  HMODULE module = LoadLibraryExA(stub.package.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, module);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_NE(nullptr, found);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                             SizeofResource(module, found));
  FreeLibrary(module);
  EXPECT_NE(std::string::npos, manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"));
  const char* windows[] = {
      "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
      "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
      "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
      "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
      "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
  };
  for (const char* id : windows) {
    EXPECT_NE(std::string::npos, manifest.find(std::string("<supportedOS Id=\"") + id + "\"/>")) << id;
  }
  // The window is laid out for 96 dpi: Windows scales it.
  EXPECT_EQ(std::string::npos, manifest.find("dpiAware"));
}

TEST(StubResources, VersionInformationNamesTheProduct) {
  StubCase stub("version");
  stub.WritePackage(BuildPackage("T", "P", "N", 0, 0, {}));
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(stub.package.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(stub.package.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
  EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);  // 1.0
  EXPECT_EQ(0u, fixed->dwFileVersionLS);
  EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
  EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
  struct Text {
    const char* name;
    const char* value;
  };
  const Text texts[] = {
      {"ProductName", "Quorrin Vornix"},
      {"ProductVersion", "1.0"},
      {"FileVersion", "1.0"},
      {"FileDescription", "Quorrin Vornix self-extracting package"},
      {"CompanyName", "the Vornix developers"},
      {"LegalCopyright", "(c) 2026 the Vornix developers"},
  };
  for (const Text& text : texts) {
    char* value = nullptr;
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + text.name;
    ASSERT_TRUE(VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) << text.name;
    EXPECT_STREQ(text.value, value) << text.name;
  }
}

// ---------------------------------------------------------------------------------------------
// The publisher's package: made by the signed_packages test with vornix pack --icon publisher.ico
// --product-version 2.1.0.7 --copyright ..., a Cyrillic title in code page 1251, then signed.

std::string PublisherFolder() { return TestProgramFolder() + "signed\\"; }

// The images of an .ico file: its 6-byte header holds the count, each 16-byte entry the width (0
// for 256), the image's size at +8 and its offset at +12.
struct IcoImage {
  int width;
  std::vector<uint8_t> bytes;
};
std::vector<IcoImage> IcoImages(const std::vector<uint8_t>& file) {
  std::vector<IcoImage> images;
  const int count = file[4] | file[5] << 8;
  for (int i = 0; i < count; ++i) {
    const uint8_t* entry = &file[6 + 16 * i];
    DWORD size = 0;
    DWORD offset = 0;
    memcpy(&size, entry + 8, 4);
    memcpy(&offset, entry + 12, 4);
    images.push_back({entry[0] == 0 ? 256 : entry[0], std::vector<uint8_t>(&file[offset], &file[offset] + size)});
  }
  return images;
}

#define NEED_PUBLISHER_PACKAGE()                                              \
  if (!FileExists(PublisherFolder() + "signed.exe")) {                        \
    GTEST_SKIP() << "no publisher's package: the build has no native vornix"; \
  }

TEST(PublisherPackage, IconGroupHoldsEveryImageOfThePublishersIconByteForByte) {
  NEED_PUBLISHER_PACKAGE();
  const std::vector<IcoImage> images = IcoImages(ReadWholeFile(PublisherFolder() + "publisher.ico"));
  ASSERT_EQ(4u, images.size());
  HMODULE module = LoadLibraryExA((PublisherFolder() + "signed.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, module);
  HRSRC group = FindResourceA(module, "MAINICON", RT_GROUP_ICON);
  ASSERT_NE(nullptr, group);
  auto* directory = static_cast<BYTE*>(LockResource(LoadResource(module, group)));
  EXPECT_EQ(6u + 14u * images.size(), SizeofResource(module, group));
  for (const IcoImage& image : images) {
    SCOPED_TRACE(image.width);
    const int id = LookupIconIdFromDirectoryEx(directory, TRUE, image.width, image.width, LR_DEFAULTCOLOR);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_ICON);
    ASSERT_NE(nullptr, found);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
    EXPECT_EQ(image.bytes, std::vector<uint8_t>(bytes, bytes + SizeofResource(module, found)));
  }
  FreeLibrary(module);
}

TEST(PublisherPackage, VersionInformationCarriesThePackagesTextsInUnicode) {
  NEED_PUBLISHER_PACKAGE();
  const std::wstring path(L"signed\\signed.exe");
  std::wstring full(MAX_PATH, L'\0');
  full.resize(GetModuleFileNameW(nullptr, &full[0], MAX_PATH));
  full = full.substr(0, full.rfind(L'\\') + 1) + path;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(full.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(full.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(0x00020001u, fixed->dwFileVersionMS);  // 2.1.0.7
  EXPECT_EQ(0x00000007u, fixed->dwFileVersionLS);
  EXPECT_EQ(0x00020001u, fixed->dwProductVersionMS);
  EXPECT_EQ(0x00000007u, fixed->dwProductVersionLS);
  const std::pair<const wchar_t*, const wchar_t*> texts[] = {
      {L"ProductName", L"Установка Signed"}, {L"FileDescription", L"Установка Signed"},
      {L"CompanyName", L"Vornix tests"},     {L"FileVersion", L"2.1.0.7"},
      {L"ProductVersion", L"2.1.0.7"},       {L"LegalCopyright", L"© 2026 Ωmega 出版"},
  };
  for (const auto& text : texts) {
    wchar_t* value = nullptr;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + text.first;
    ASSERT_TRUE(VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
    EXPECT_EQ(std::wstring(text.second), std::wstring(value));
  }
}

}  // namespace
}  // namespace vornix
