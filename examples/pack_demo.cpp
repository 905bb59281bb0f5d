// Builds the demo package: pack_demo STUB INSTALLER README NOTE OUTPUT. The installer is the entry
// to run after unpacking; the title, publisher and methods are the demo's own.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "package/package_writer.h"

namespace {

std::vector<uint8_t> Load(const char* path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw vornix::Exception(std::string("Cannot open file ") + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: pack_demo STUB INSTALLER README NOTE OUTPUT\n");
    return 2;
  }
  try {
    const std::vector<uint8_t> note = Load(argv[4]);
    vornix::TMemoryStream installer(Load(argv[2]));
    vornix::TMemoryStream readme(Load(argv[3]));
    vornix::PackagePlan plan;
    plan.Stub = Load(argv[1]);
    plan.Title = "Vornix Demo";
    plan.Publisher = "the Vornix developers";
    plan.Note.assign(note.begin(), note.end());
    plan.RunIndex = 0;
    plan.Flags = vornix::RunAfterUnpack;
    plan.Files = {{"demo-setup.exe", &installer, 1}, {"readme.txt", &readme, 0}};
    vornix::TFileStream output(argv[5], vornix::TFileStream::Mode::Create);
    vornix::WritePackage(plan, output);
    std::printf("%s: %lld bytes (stub %lld, package %lld)\n", argv[5], static_cast<long long>(output.Size()),
                static_cast<long long>(vornix::PackageOffset),
                static_cast<long long>(output.Size() - vornix::PackageOffset));
  } catch (const vornix::Exception& failure) {
    std::fprintf(stderr, "pack_demo: %s\n", failure.what());
    return 1;
  }
  return 0;
}
