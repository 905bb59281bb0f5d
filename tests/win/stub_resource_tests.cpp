// What the stub tells Windows about itself, read back from a package with Windows' own calls: the
// application manifest (run as the caller; the Windows versions it was made for) and the version
// information Explorer shows.
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

}  // namespace
}  // namespace vornix
