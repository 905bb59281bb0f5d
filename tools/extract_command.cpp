// vornix extract: writes a package's entries into a folder by the stub's name rules, never over an
// existing file unless asked, and never runs anything.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/codepage.h"
#include "tools/commands.h"
#include "tools/progress_bar.h"

namespace vornix::tools {
namespace {

const char kExtractHelp[] =
    "usage: vornix extract PACKAGE [-d DIR] [--force] [--codepage N]\n"
    "\n"
    "Writes every entry of the package, decoded, into DIR (default: the current folder; created\n"
    "when missing) under its path, read from the ANSI code page N (default 1252), and creates the\n"
    "package's folders. A path the stub would refuse (a . or .. part, a device, a reserved\n"
    "character) is refused here too, and no symbolic link inside DIR is followed, so nothing is\n"
    "written outside DIR. Nothing is run. When a file of an entry's name exists, nothing is\n"
    "written at all unless --force is given, which replaces such files. An entry that fails to\n"
    "decode or does not match its checksum leaves no file; a package whose header, table or\n"
    "checksum record does not match has nothing extracted. Exit codes: 0 done, 1 a bad entry,\n"
    "a damaged package or an existing file, 2 usage.\n";

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

// Creates the folder and every missing folder above it.
void MakeFolders(const std::string& folder) {
  for (size_t end = 1; end <= folder.size(); ++end) {
    if (end < folder.size() && !IsSeparator(folder[end])) continue;
    const std::string prefix = folder.substr(0, end);
    // A drive ("C:") is no folder to create.
    if (prefix.back() == ':' || IsSeparator(prefix.back())) continue;
    if (!MakeFolder(prefix)) throw Exception(folder + ": cannot create the folder");
  }
}

namespace fs = std::filesystem;

// A path of the package (parts joined by '\\') below folder, with this system's separator.
std::string BelowFolder(const std::string& folder, std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return folder + "/" + path;
}

// Creates the package's folder path below folder, part by part. A part that exists must be a
// folder of its own: a symbolic link (to a folder outside, say) is never gone through.
void MakeTreeFolder(const std::string& folder, const std::string& path) {
  for (size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
    const std::string part = BelowFolder(folder, path.substr(0, end));
    std::error_code error;
    const fs::file_status status = fs::symlink_status(fs::u8path(part), error);
    if (fs::is_symlink(status)) throw Exception(part + ": a symbolic link; nothing is written through it");
    if (!fs::exists(status) && !MakeFolder(part)) throw Exception(part + ": cannot create the folder");
    if (fs::exists(status) && !fs::is_directory(status)) throw Exception(part + ": exists and is no folder");
    if (end == std::string::npos) return;
  }
}

// The package's path of the folder that holds the entry path, or "" for the top.
std::string ParentOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

struct Target {
  size_t index;
  std::string subject;  // the entry, for error lines
  std::string name;     // its path in the package, UTF-8
  std::string path;
};

int Extract(const TArguments& arguments) {
  const std::string path = PackageOperand(arguments);
  const int code_page = CodePageOption(arguments);
  const std::string folder = arguments.Value("directory", ".");
  // An empty name would put the files at the root: "" + "/" + name.
  if (folder.empty()) throw UsageError("--directory needs a folder name");
  const bool force = arguments.Has("force");
  OpenPackage package = OpenPackageFile(path);
  // Names and places cannot be trusted: nothing is written, as the stub unpacks nothing.
  if (!package.index.Checks.Problem.empty()) {
    ReportError(path, package.index.Checks.Problem + "; nothing was extracted");
    return kExitFailed;
  }

  size_t failed = 0;
  std::vector<Target> targets;
  for (size_t i = 0; i < package.index.Entries.size(); ++i) {
    const PackageEntryInfo& entry = package.index.Entries[i];
    bool complete = true;
    const std::string name = FromCodePage(entry.Name, code_page, &complete);
    const std::string subject = path + ": entry " + std::to_string(i + 1) + " \"" + name + "\"";
    if (!entry.Problem.empty()) {
      ReportError(subject, entry.Problem);
      ++failed;
    } else if (!complete) {
      ReportError(subject, "its name holds a byte that code page " + std::to_string(code_page) + " does not define");
      ++failed;
    } else {
      targets.push_back({i, subject, name, BelowFolder(folder, name)});
    }
  }
  if (!force) {
    size_t existing = 0;
    for (const Target& target : targets) {
      if (PathExists(target.path)) {
        ReportError(target.path, "exists already; nothing was extracted (--force replaces it)");
        ++existing;
      }
    }
    if (existing > 0) return kExitFailed;
  }

  MakeFolders(folder);
  for (const std::string& tree_folder : package.index.Header.Folders) {
    bool complete = true;
    const std::string name = FromCodePage(tree_folder, code_page, &complete);
    try {
      if (!complete)
        throw Exception(name + ": its name holds a byte that code page " + std::to_string(code_page) +
                        " does not define");
      MakeTreeFolder(folder, name);
    } catch (const Exception& problem) {
      ReportError(path, problem.Message());
      ++failed;
    }
  }
  for (const Target& target : targets) {
    const std::string parent = ParentOf(target.name);
    try {
      if (!parent.empty()) MakeTreeFolder(folder, parent);
    } catch (const Exception& problem) {
      ReportError(target.subject, problem.Message());
      ++failed;
      continue;
    }
    // The old file goes first: a new one is only ever created, never opened through a link.
    if (force && PathExists(target.path) && !FileDelete(target.path)) {
      ReportError(target.path, "cannot replace it");
      ++failed;
      continue;
    }
    std::string failure;
    try {
      TFileStream output(target.path, TFileStream::Mode::CreateNew);
      try {
        DecodeEntry(*package.file, package.index.Entries[target.index], output);
      } catch (const Exception& problem) {
        failure = problem.Message();
      }
    } catch (const Exception&) {
      ReportError(target.path, "cannot create the file");
      ++failed;
      continue;
    }
    // Closed by now, so that the part written can be deleted on every system.
    if (!failure.empty()) {
      FileDelete(target.path);
      ReportError(target.subject, failure);
      ++failed;
    }
  }
  if (failed > 0) {
    std::printf("%s: %zu of %zu entries failed\n", path.c_str(), failed, package.index.Entries.size());
    return kExitFailed;
  }
  std::printf("%s: %s extracted into %s\n", path.c_str(), Count(targets.size(), "file").c_str(), folder.c_str());
  return kExitOk;
}

}  // namespace

int ExtractCommand(const std::vector<std::string>& args) {
  return RunCommand("extract", kExtractHelp, args,
                    {{"directory", 'd', true}, {"force", 0, false}, {"codepage", 0, true}}, Extract);
}

}  // namespace vornix::tools
