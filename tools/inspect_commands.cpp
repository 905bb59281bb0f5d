// vornix list and vornix verify: a package's header and entries, and a full decode of each entry
// that writes nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "package/package_reader.h"
#include "resources/pe_image.h"
#include "tools/codepage.h"
#include "tools/commands.h"
#include "tools/progress_bar.h"

namespace vornix::tools {
namespace {

const char kListHelp[] =
    "usage: vornix list PACKAGE [--json] [--codepage N]\n"
    "\n"
    "Shows the package's header (version, the stub's architecture: x86 or x64, title, publisher,\n"
    "note, the entry run after unpacking, flags, whether it carries checksums) and one row per\n"
    "entry: name, method, original size, stored size (the compressed stream) and ratio. Texts and\n"
    "names are shown from the ANSI code page N (default 1252). --json prints the same as one JSON\n"
    "object, with each entry's XXH32 hash. Exit codes: 0 done, 1 not a package, 2 usage.\n";

const char kVerifyHelp[] =
    "usage: vornix verify PACKAGE [--codepage N]\n"
    "\n"
    "Reads the package's header and table and decodes every entry completely, writing nothing.\n"
    "In a package that carries checksums, the header, texts, table and names are checked against\n"
    "theirs and every entry's bytes against its own. Names are shown from the ANSI code page N\n"
    "(default 1252). Exit code 0 only when all of that matches, every entry decodes to the size\n"
    "its stream states and the stub can unpack its name; otherwise each fault is named on stderr,\n"
    "and the exit code is 1. Exit code 2: usage error.\n";

// How list and verify tell of the integrity record.
std::string ChecksumsState(const TPackageChecks& checks) {
  if (!checks.Problem.empty()) return "damaged (" + checks.Problem + ")";
  return checks.Marked ? "XXH32 of the header, the table and every entry" : "none: the package carries no checksums";
}

// The architecture of the stub in front of the package, "x86" or "x64", read from its PE headers;
// empty for any other stub.
std::string StubArchitecture(TStream& file) {
  std::vector<uint8_t> head(4096);
  const int32_t got = file.Seek(0, SeekOrigin::Beginning) == 0 ? file.Read(head.data(), 4096) : -1;
  head.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return PeArchitecture(head);
}

std::string Ratio(const PackageEntryInfo& entry) {
  if (entry.OriginalSize <= 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.0f%%", 100.0 * static_cast<double>(entry.StreamLength) / entry.OriginalSize);
  return text;
}

std::string Json(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (c == '\n') {
      quoted += "\\n";
    } else if (c == '\r') {
      quoted += "\\r";
    } else if (c == '\t') {
      quoted += "\\t";
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

void PrintJson(const std::string& path, const std::string& stub, const PackageIndex& index, int code_page) {
  const TPackageHeader& header = index.Header;
  std::printf("{\"package\": %s, \"version\": %u, \"stub\": %s, \"title\": %s, \"publisher\": %s, \"note\": %s,\n",
              Json(path).c_str(), header.Version, stub.empty() ? "null" : Json(stub).c_str(),
              Json(FromCodePage(header.Title, code_page)).c_str(),
              Json(FromCodePage(header.Publisher, code_page)).c_str(),
              Json(FromCodePage(header.NoteText, code_page)).c_str());
  std::printf(
      " \"flags\": %u, \"run_index\": %u, \"run\": %s,\n \"checksums\": %s, \"checksum_problem\": %s,\n"
      " \"folders\": [",
      header.Flags, header.RunEntry,
      header.RunRequested() ? Json(FromCodePage(index.Entries[header.RunEntry].Name, code_page)).c_str() : "null",
      index.Checks.Marked ? "true" : "false",
      index.Checks.Problem.empty() ? "null" : Json(index.Checks.Problem).c_str());
  for (size_t i = 0; i < header.Folders.size(); ++i) {
    std::printf("%s%s", i == 0 ? "" : ", ", Json(FromCodePage(header.Folders[i], code_page)).c_str());
  }
  std::printf("],\n \"entries\": [");
  for (size_t i = 0; i < index.Entries.size(); ++i) {
    const PackageEntryInfo& entry = index.Entries[i];
    char hash[16] = "null";
    if (entry.HasHash) std::snprintf(hash, sizeof hash, "\"%08x\"", static_cast<unsigned>(entry.Hash));
    std::printf(
        "%s\n  {\"name\": %s, \"method\": %s, \"size\": %lld, \"stored\": %lld, \"offset\": %u, \"xxh32\": %s, "
        "\"problem\": %s}",
        i == 0 ? "" : ",", Json(FromCodePage(entry.Name, code_page)).c_str(),
        Json(entry.OriginalSize < 0 ? "unknown" : MethodName(entry.MethodId)).c_str(),
        static_cast<long long>(entry.OriginalSize), static_cast<long long>(entry.StreamLength), entry.Offset, hash,
        entry.Problem.empty() ? "null" : Json(entry.Problem).c_str());
  }
  std::printf("]}\n");
}

void PrintTable(const std::string& path, const std::string& stub, const PackageIndex& index, int code_page) {
  const TPackageHeader& header = index.Header;
  std::printf("%s: package version %u, %zu entries\n", path.c_str(), header.Version, index.Entries.size());
  std::printf("stub:      %s\n", stub == "x86"   ? "x86 (32-bit Windows)"
                                 : stub == "x64" ? "x64 (64-bit Windows)"
                                                 : "unknown (not a 32-bit or 64-bit x86 Windows program)");
  std::printf("title:     %s\npublisher: %s\n", FromCodePage(header.Title, code_page).c_str(),
              FromCodePage(header.Publisher, code_page).c_str());
  std::string note = FromCodePage(header.NoteText, code_page);
  for (size_t at = note.find("\r\n"); at != std::string::npos; at = note.find("\r\n", at)) {
    note.replace(at, 2, "\n           ");
  }
  std::printf("note:      %s\n", note.c_str());
  if (header.RunRequested()) {
    std::printf("run:       %s (entry %u) after unpacking\n",
                FromCodePage(index.Entries[header.RunEntry].Name, code_page).c_str(), header.RunEntry + 1);
  } else {
    std::printf("run:       nothing\n");
  }
  std::printf("flags:     0x%02X\n", header.Flags);
  if (header.IsTree()) std::printf("folders:   %zu\n", header.Folders.size());
  std::printf("checksums: %s\n\n", ChecksumsState(index.Checks).c_str());
  std::printf("%5s  %-9s %12s %12s %6s  %s\n", "#", "method", "size", "stored", "ratio", "name");
  for (size_t i = 0; i < index.Entries.size(); ++i) {
    const PackageEntryInfo& entry = index.Entries[i];
    std::printf("%5zu  %-9s %12lld %12lld %6s  %s\n", i + 1,
                entry.OriginalSize < 0 ? "unknown" : MethodName(entry.MethodId),
                static_cast<long long>(entry.OriginalSize), static_cast<long long>(entry.StreamLength),
                Ratio(entry).c_str(), FromCodePage(entry.Name, code_page).c_str());
    if (!entry.Problem.empty()) std::printf("%5s  damaged: %s\n", "", entry.Problem.c_str());
  }
}

int List(const TArguments& arguments) {
  const std::string path = PackageOperand(arguments);
  const int code_page = CodePageOption(arguments);
  const OpenPackage package = OpenPackageFile(path);
  const std::string stub = StubArchitecture(*package.file);
  if (arguments.Has("json")) {
    PrintJson(path, stub, package.index, code_page);
  } else {
    PrintTable(path, stub, package.index, code_page);
  }
  return kExitOk;
}

int Verify(const TArguments& arguments) {
  const std::string path = PackageOperand(arguments);
  const int code_page = CodePageOption(arguments);
  OpenPackage package = OpenPackageFile(path);
  const auto start = std::chrono::steady_clock::now();
  size_t failed = 0;
  int64_t decoded = 0;
  const TPackageChecks& checks = package.index.Checks;
  if (!checks.Problem.empty()) {
    ReportError(path, checks.Problem);
    ++failed;
  }
  for (size_t i = 0; i < package.index.Entries.size(); ++i) {
    const PackageEntryInfo& entry = package.index.Entries[i];
    const std::string subject =
        path + ": entry " + std::to_string(i + 1) + " \"" + FromCodePage(entry.Name, code_page) + "\"";
    try {
      TDiscardStream sink;
      decoded += DecodeEntry(*package.file, entry, sink);
    } catch (const Exception& failure) {
      ReportError(subject, failure.Message());
      ++failed;
    }
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (failed > 0) {
    const size_t entries_failed = failed - (checks.Problem.empty() ? 0 : 1);
    std::printf("%s: %zu of %zu entries failed%s\n", path.c_str(), entries_failed, package.index.Entries.size(),
                checks.Problem.empty() ? "" : ", and the package's checksums do not hold");
    return kExitFailed;
  }
  std::printf("%s: all %zu entries decode to their stated sizes%s (%s in %.2f s, %s/s)\n", path.c_str(),
              package.index.Entries.size(),
              checks.Marked ? " and match their checksums" : "; the package carries no checksums",
              HumanSize(decoded).c_str(), elapsed.count(),
              HumanSize(static_cast<int64_t>(decoded / std::max(elapsed.count(), 1e-3))).c_str());
  return kExitOk;
}

}  // namespace

int ListCommand(const std::vector<std::string>& args) {
  return RunCommand("list", kListHelp, args, {{"json", 0, false}, {"codepage", 0, true}}, List);
}

int VerifyCommand(const std::vector<std::string>& args) {
  return RunCommand("verify", kVerifyHelp, args, {{"codepage", 0, true}}, Verify);
}

}  // namespace vornix::tools
