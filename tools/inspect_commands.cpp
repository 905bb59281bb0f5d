// vornix list and vornix verify: a package's header and entries, and a full decode of each entry
// that writes nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "package/package_reader.h"
#include "tools/codepage.h"
#include "tools/commands.h"
#include "tools/progress_bar.h"

namespace vornix::tools {
namespace {

const char kListHelp[] =
    "usage: vornix list PACKAGE [--json] [--codepage N]\n"
    "\n"
    "Shows the package's header (version, title, publisher, note, the entry run after unpacking,\n"
    "flags) and one row per entry: name, method, original size, stored size (the compressed\n"
    "stream) and ratio. Texts and names are shown from the ANSI code page N (default 1252).\n"
    "--json prints the same as one JSON object. Exit codes: 0 done, 1 not a package, 2 usage.\n";

const char kVerifyHelp[] =
    "usage: vornix verify PACKAGE [--codepage N]\n"
    "\n"
    "Reads the package's header and table and decodes every entry completely, writing nothing.\n"
    "Names are shown from the ANSI code page N (default 1252).\n"
    "Exit code 0 only when every entry decodes to the size its stream states and the stub can\n"
    "unpack its name; otherwise each bad entry is named on stderr with the reason, and the exit\n"
    "code is 1. Exit code 2: usage error.\n";

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

void PrintJson(const std::string& path, const PackageIndex& index, int code_page) {
  const TPackageHeader& header = index.Header;
  std::printf("{\"package\": %s, \"version\": %u, \"title\": %s, \"publisher\": %s, \"note\": %s,\n",
              Json(path).c_str(), header.Version, Json(FromCodePage(header.Title, code_page)).c_str(),
              Json(FromCodePage(header.Publisher, code_page)).c_str(),
              Json(FromCodePage(header.NoteText, code_page)).c_str());
  std::printf(
      " \"flags\": %u, \"run_index\": %u, \"run\": %s,\n \"entries\": [", header.Flags, header.RunIndex,
      header.RunRequested() ? Json(FromCodePage(index.Entries[header.RunIndex].Name, code_page)).c_str() : "null");
  for (size_t i = 0; i < index.Entries.size(); ++i) {
    const PackageEntryInfo& entry = index.Entries[i];
    std::printf(
        "%s\n  {\"name\": %s, \"method\": %s, \"size\": %lld, \"stored\": %lld, \"offset\": %u, \"problem\": %s}",
        i == 0 ? "" : ",", Json(FromCodePage(entry.Name, code_page)).c_str(),
        Json(entry.OriginalSize < 0 ? "unknown" : MethodName(entry.MethodId)).c_str(),
        static_cast<long long>(entry.OriginalSize), static_cast<long long>(entry.StreamLength), entry.Offset,
        entry.Problem.empty() ? "null" : Json(entry.Problem).c_str());
  }
  std::printf("]}\n");
}

void PrintTable(const std::string& path, const PackageIndex& index, int code_page) {
  const TPackageHeader& header = index.Header;
  std::printf("%s: package version %u, %zu entries\n", path.c_str(), header.Version, index.Entries.size());
  std::printf("title:     %s\npublisher: %s\n", FromCodePage(header.Title, code_page).c_str(),
              FromCodePage(header.Publisher, code_page).c_str());
  std::string note = FromCodePage(header.NoteText, code_page);
  for (size_t at = note.find("\r\n"); at != std::string::npos; at = note.find("\r\n", at)) {
    note.replace(at, 2, "\n           ");
  }
  std::printf("note:      %s\n", note.c_str());
  if (header.RunRequested()) {
    std::printf("run:       %s (entry %u) after unpacking\n",
                FromCodePage(index.Entries[header.RunIndex].Name, code_page).c_str(), header.RunIndex + 1);
  } else {
    std::printf("run:       nothing\n");
  }
  std::printf("flags:     0x%02X\n\n", header.Flags);
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
  if (arguments.Has("json")) {
    PrintJson(path, package.index, code_page);
  } else {
    PrintTable(path, package.index, code_page);
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
    std::printf("%s: %zu of %zu entries failed\n", path.c_str(), failed, package.index.Entries.size());
    return kExitFailed;
  }
  std::printf("%s: all %zu entries decode to their stated sizes (%s in %.2f s, %s/s)\n", path.c_str(),
              package.index.Entries.size(), HumanSize(decoded).c_str(), elapsed.count(),
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
