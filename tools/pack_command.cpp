// vornix pack: builds a package from files, checking everything the layout and the stub demand
// before anything is written, and writes it beside the target before putting it in place.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <thread>

#include "package/entry_name.h"
#include "package/package_writer.h"
#include "resources/pe_image.h"
#include "tools/branding_options.h"
#include "tools/codepage.h"
#include "tools/commands.h"
#include "tools/embedded_stub.h"
#include "tools/input_folder.h"
#include "tools/output_file.h"
#include "tools/progress_bar.h"

namespace vornix::tools {
namespace {

const char kPackHelp[] =
    "usage: vornix pack -o OUT --title TEXT --publisher TEXT (--note TEXT | --note-file FILE)\n"
    "                   [--run NAME] [--method auto|lzh|lzrw] [--jobs N]\n"
    "                   [--arch x86|x64 | --stub FILE]\n"
    "                   [--codepage N] [--no-checksums] [--icon FILE.ico]\n"
    "                   [--product-version A.B.C.D] [--copyright TEXT] [--quiet] FILE|DIR...\n"
    "\n"
    "Builds OUT, a Windows program that shows the title, the publisher and the note, unpacks the\n"
    "FILEs into a fresh folder under %TEMP%, runs NAME from there and waits for it (and for what it\n"
    "started from that folder), then removes the folder. Without --run it only unpacks.\n"
    "\n"
    "  -o, --output OUT       the package; written beside OUT and put in place once complete\n"
    "  --title, --publisher   the window's texts\n"
    "  --note TEXT            the welcome note; its line breaks become CR LF\n"
    "  --note-file FILE       the note from a UTF-8 text file (a BOM and the final line breaks\n"
    "                         are dropped)\n"
    "  --run NAME             the packed file to run after unpacking (case is ignored), by its\n"
    "                         path in the package (bin\\setup.exe or bin/setup.exe): a .exe,\n"
    "                         .com, .bat, .cmd or .msi file; it starts in the unpack folder;\n"
    "                         the package's own arguments are passed on to it, and its exit\n"
    "                         code is the package's\n"
    "  --method M             auto (the default: LZRW1/KH where it compresses well, else LZH),\n"
    "                         lzh (smaller) or lzrw (much faster)\n"
    "  --jobs N               files compressed at once (default: the number of processors);\n"
    "                         the package is the same, byte for byte, for any N\n"
    "  --arch A               the stub built into vornix: x86 (the default; 32-bit, runs on\n"
    "                         every Windows) or x64 (64-bit, for Windows without its 32-bit\n"
    "                         subsystem, such as Server Core without WoW64 or Windows PE)\n"
    "  --stub FILE            another stub instead of the ones built into vornix\n"
    "  --codepage N           the Windows ANSI code page for texts and names (default 1252;\n"
    "                         874 and 1250-1258)\n"
    "  --no-checksums         leave out the integrity record (the hashes of the header, the\n"
    "                         table and every file that the stub checks before it runs\n"
    "                         anything): the layout of packages made before it existed\n"
    "  --icon FILE.ico        the program's icon, in Explorer and in its window, instead of the\n"
    "                         stub's: every image of the icon file; a 256 px bitmap is stored\n"
    "                         as PNG when the icon would not fit otherwise\n"
    "  --product-version V    the file and product version in the program's version\n"
    "                         information, one to four numbers such as 2.1.0.7 (default: the\n"
    "                         stub's own); its product name and description are the title,\n"
    "                         its company the publisher, in UTF-16 whatever the code page\n"
    "  --copyright TEXT       the version information's copyright (at most 255 characters)\n"
    "  --quiet                no progress bar and no summary\n"
    "\n"
    "Each FILE is packed under its own name, without its folder; a DIR gives its whole tree, its\n"
    "subfolders (empty ones too) and files at any depth, in name order, unpacked below the unpack\n"
    "folder as they are below DIR. Everything is checked before anything is written: each text\n"
    "at most 255 bytes in the code page, paths the stub can unpack (no devices, reserved\n"
    "characters, . or .. parts; at most 160 bytes for a path with folders) that differ in more\n"
    "than case, no symbolic link or special file, and a package below 4 GB, the largest program\n"
    "file Windows starts. A character the code page cannot hold is refused. A package of more\n"
    "than 255 files or with folders has the tree layout, which a vornix or stub from before it\n"
    "refuses as a whole.\n"
    "Exit codes: 0 done, 1 bad input, 2 usage error.\n";

constexpr size_t kMaxNoteFileSize = 64 * 1024;

// The kinds the stub can start: programs and scripts through CreateProcess, a Windows Installer
// package through the shell, which hands it to msiexec.
bool StartableByWindows(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  // The stored name is in the code page: only its ASCII letters are folded.
  std::string extension = name.substr(dot);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const char* kind : {".exe", ".com", ".bat", ".cmd", ".msi"}) {
    if (extension == kind) return true;
  }
  return false;
}

// utf8 in the code page; a character the code page cannot hold raises the reason behind lead.
std::string InCodePage(const std::string& lead, const std::string& utf8, int code_page) {
  try {
    return ToCodePage(utf8, code_page);
  } catch (const Exception& failure) {
    throw Exception(lead + failure.Message());
  }
}

// The text in the code page, or an error naming where it came from.
std::string StoredText(const std::string& subject, const std::string& utf8, int code_page) {
  const std::string text = InCodePage(subject + ": ", utf8, code_page);
  if (text.size() > static_cast<size_t>(kMaxTextLength)) {
    throw Exception(subject + ": " + std::to_string(text.size()) + " bytes in code page " + std::to_string(code_page) +
                    "; a package holds at most " + std::to_string(kMaxTextLength));
  }
  if (text.find('\0') != std::string::npos) throw Exception(subject + ": holds a zero byte, which would end it early");
  return text;
}

std::string ReadNoteFile(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadSmallInput(path, "the file", kMaxNoteFileSize, [](int64_t size) {
    return std::to_string(size) + " bytes; a note holds at most " + std::to_string(kMaxTextLength);
  });
  std::string text(bytes.begin(), bytes.end());
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::vector<uint8_t> LoadStub(const TArguments& arguments) {
  if (!arguments.Has("stub")) {
    const std::string arch = arguments.Has("arch") ? arguments.Value("arch") : "x86";
    if (arch != "x86" && arch != "x64") throw UsageError("--arch: \"" + arch + "\" is neither x86 nor x64");
    const StubBytes stub = EmbeddedStub(arch);
    if (stub.Size == 0) throw UsageError("this vornix carries no " + arch + " stub; name one with --stub FILE");
    return std::vector<uint8_t>(stub.Data, stub.Data + stub.Size);
  }
  if (arguments.Has("arch")) throw UsageError("give either --arch or --stub: a stub file is of its own architecture");
  const std::string path = arguments.Value("stub");
  std::vector<uint8_t> stub = ReadSmallInput(path, "the stub", PackageOffset, [](int64_t size) {
    return "the stub is " + std::to_string(size) + " bytes long; it must fit in " + std::to_string(PackageOffset);
  });
  if (stub.size() < 2 || stub[0] != 'M' || stub[1] != 'Z') throw Exception(path + ": the stub is no Windows program");
  return stub;
}

int DefaultJobs() {
  const unsigned processors = std::thread::hardware_concurrency();
  return processors == 0 ? 1 : static_cast<int>(processors < 255 ? processors : 255);
}

// A path in the package, in the code page and checked by the stub's rules.
std::string StoredPath(const std::string& subject, const std::string& name, int code_page) {
  const std::string stored = InCodePage(subject + ": the name ", name, code_page);
  if (const char* problem = EntryPathProblem(stored)) {
    throw Exception(subject + ": the stub cannot unpack the name \"" + name + "\": " + problem);
  }
  return stored;
}

// The files and folders: their paths checked and converted, and each file's size taken, before
// anything is written.
void AddTree(const PackTree& tree, int code_page, uint8_t method, PackagePlan& plan,
             std::vector<std::unique_ptr<TInputFile>>& contents, std::map<std::string, size_t>& by_folded_name) {
  for (const PackInput& input : tree.Files) {
    const std::string stored = StoredPath(input.Path, input.Name, code_page);
    const auto same = by_folded_name.emplace(FoldCase(input.Name), plan.Files.size());
    if (!same.second) {
      throw Exception(input.Path + ": the name \"" + input.Name + "\" is that of " +
                      tree.Files[same.first->second].Path + " when case is ignored");
    }
    contents.push_back(std::make_unique<TInputFile>(input.Path));
    const int64_t size = contents.back()->Size();
    if (size >= kEntryLimit) {
      throw Exception(input.Path + ": " + std::to_string(size) +
                      " bytes, 4 GB or more: " + package_messages::kProgramTooLarge);
    }
    plan.Files.push_back(PackageFile{stored, contents.back().get(), method});
  }
  for (const std::string& folder : tree.Folders) plan.Folders.push_back(StoredPath(folder, folder, code_page));
}

int Pack(const TArguments& arguments) {
  for (const char* required : {"output", "title", "publisher"}) {
    if (!arguments.Has(required)) throw UsageError(std::string("--") + required + " is required");
  }
  if (arguments.Has("note") == arguments.Has("note-file")) throw UsageError("give either --note or --note-file");
  if (arguments.Operands().empty()) throw UsageError("no FILE to pack");
  const int code_page = CodePageOption(arguments);
  const uint8_t method = MethodOption(arguments, "auto");
  WriteOptions options;
  options.Jobs = arguments.Number("jobs", DefaultJobs(), 1, 255);
  const bool quiet = arguments.Has("quiet");

  PackagePlan plan;
  plan.Title = StoredText("--title", arguments.Value("title"), code_page);
  plan.Publisher = StoredText("--publisher", arguments.Value("publisher"), code_page);
  if (arguments.Has("note")) {
    plan.Note = StoredText("--note", NoteWithCrLf(arguments.Value("note")), code_page);
  } else {
    const std::string path = arguments.Value("note-file");
    plan.Note = StoredText(path, NoteWithCrLf(ReadNoteFile(path)), code_page);
  }
  const PackStub stub =
      BrandPackStub(arguments, LoadStub(arguments), arguments.Has("stub") ? arguments.Value("stub") : "the stub");
  plan.Stub = stub.Bytes;
  plan.Checksums = !arguments.Has("no-checksums");
  std::vector<std::unique_ptr<TInputFile>> contents;
  std::map<std::string, size_t> by_folded_name;
  AddTree(PackInputs(arguments.Operands()), code_page, method, plan, contents, by_folded_name);
  if (arguments.Has("run")) {
    std::string run_name = arguments.Value("run");
    std::replace(run_name.begin(), run_name.end(), '/', '\\');
    const auto run = by_folded_name.find(FoldCase(run_name));
    if (run == by_folded_name.end()) {
      throw Exception("--run: \"" + arguments.Value("run") + "\" names none of the packed files");
    }
    if (!StartableByWindows(plan.Files[run->second].Name)) {
      throw Exception("--run: \"" + arguments.Value("run") +
                      "\" is no kind of file the stub can start: give a .exe, .com, .bat, .cmd or .msi file");
    }
    plan.RunIndex = static_cast<uint32_t>(run->second);
    plan.Flags = RunAfterUnpack;
  }
  CheckPackagePlan(plan);

  const std::string output = arguments.Value("output");
  const auto start = std::chrono::steady_clock::now();
  TReplacingOutput file(output);
  TProgressBar bar(!quiet);
  options.OnProgress = [&bar](const WriteProgress& progress) { bar.Update(progress); };
  try {
    WritePackage(plan, file.Stream(), options);
    // The image checksum covers the whole file, the package behind the stub included.
    if (stub.Rewritten) StampImageChecksum(file.Stream());
  } catch (const Exception& failure) {
    throw Exception(output + ": " + failure.Message());
  }
  bar.Clear();
  const int64_t size = file.Stream().Size();
  file.Commit();
  if (!quiet) {
    int64_t total = 0;
    for (const auto& content : contents) total += content->Size();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%s: %s, %s packed into %s (the stub included) in %.1f s\n", output.c_str(),
                Count(plan.Files.size(), "file").c_str(), HumanSize(total).c_str(), HumanSize(size).c_str(),
                elapsed.count());
    if (stub.Rewritten) {
      std::printf("%s: the resources take %s, leaving %s of room in the stub\n", output.c_str(),
                  HumanSize(stub.ResourceSize).c_str(), HumanSize(stub.Room - stub.ResourceSize).c_str());
    }
  }
  return kExitOk;
}

}  // namespace

int PackCommand(const std::vector<std::string>& args) {
  return RunCommand("pack", kPackHelp, args,
                    {{"output", 'o', true},
                     {"title", 0, true},
                     {"publisher", 0, true},
                     {"note", 0, true},
                     {"note-file", 0, true},
                     {"run", 0, true},
                     {"method", 0, true},
                     {"jobs", 0, true},
                     {"arch", 0, true},
                     {"stub", 0, true},
                     {"codepage", 0, true},
                     {"no-checksums", 0, false},
                     {"icon", 0, true},
                     {"product-version", 0, true},
                     {"copyright", 0, true},
                     {"quiet", 'q', false}},
                    Pack);
}

}  // namespace vornix::tools
