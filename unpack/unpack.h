// The stub's unpacking: the unpack folder under the temporary directory, every entry decompressed
// into it, and the worker that runs the package's program and removes the files afterwards.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "package/integrity.h"
#include "package/package_layout.h"
#include "runtime/bound_handler.h"
#include "runtime/stream.h"
#include "runtime/string_list.h"
#include "threads/qnthreads.h"

namespace vornix {

namespace package_messages {
constexpr const char* kNoTempPath = "Could not create temporary path!";
// The could-not-create box: kCreateFileStart, the entry's ".~~c" path, kCreateFileEnd.
constexpr const char* kCreateFileStart = "     Could not create file \"";
constexpr const char* kCreateFileEnd =
    "\".\r     This package could not be unpacked.  Please make sure that\ryou have downloaded the complete package "
    "and that you have enough free\rspace on the disk drive where your Windows is installed.";
// The could-not-execute box: kExecuteStart, the program's path, kExecuteEnd.
constexpr const char* kExecuteStart = "     Could not execute file \"";
constexpr const char* kExecuteEnd = "\".\r\rPlease obtain a newer distribution of this package.\r\r";
}  // namespace package_messages

// The unpack folder's path, ending in a backslash; written once by CreateTempFolder.
extern char TempFolder[MAX_PATH + 1];

// The completion callback of the worker: Code is 1 after a completed run and clean-up, 2 when the
// program could not be started; ExitCode is the program's own exit code after a completed run.
using TExeDone = TBoundHandler<void(int32_t Code, uint32_t ExitCode)>;

// Creates "vornix_N" with the lowest N whose directory does not exist, inside the temporary
// directory, marks it as this run's and records it in TempFolder; first it sweeps away what dead
// runs left there (SweepDeadRuns). A directory that appears between the check and the creation
// (another copy of the stub) moves on to the next number. Returns false after showing "Could not
// create temporary path!" when the folder cannot be created or its path does not fit.
bool CreateTempFolder();

// A run's unpack folder holds its mark, this empty hidden file, which no entry can be named (entry
// names never end in ".~~c"). The running stub holds it open, sharing it for reading only, and
// Windows closes it when the process ends, however it ends: a folder whose mark can be opened
// without sharing is a dead run's.
constexpr const char* kRunMarkName = "vornix-run.~~c";

// Removes the folders in Temp (the temporary directory, ending in a backslash) that dead runs left:
// those whose mark can be opened and from which no process runs. A folder without a mark is not a
// run's and is left alone, as is one whose stub or whose programs still run, and one that cannot be
// emptied (it keeps its mark for the next run). Needs the process listing; without it, sweeps none.
void SweepDeadRuns(const std::string& Temp);

// Removes what Folder (ending in a backslash) holds, deepest first, except the file named Keep at
// its top (nullptr: nothing is kept); true when nothing else is left. A junction or symbolic link
// is removed as itself and never entered; one that cannot be removed as itself is left alone.
bool RemoveContents(const std::string& Folder, const char* Keep);

// Removes a run's Folder with everything in it, its mark last: Mark (the mark held open, or
// INVALID_HANDLE_VALUE) is closed and the mark deleted only once everything else is gone. False
// when the folder is still there.
bool RemoveRunFolder(const std::string& Folder, HANDLE& Mark);

// Folder (ending in a backslash) as ListProcesses reports executables on NT: short form, ASCII upper
// case; "" when its short form cannot be had.
std::string ProcessPathPrefix(const std::string& Folder);

// Whether a process of a ListProcesses listing runs from the folder with that Prefix (none when the
// prefix is ""), leaving out those also in Before when it is given.
bool AnyRunsFrom(const TStringList& Processes, const std::string& Prefix, const TStringList* Before = nullptr);

// Told of the unpacking's headway between its pieces of work, in the caller's thread: Done of Total
// bytes written over all entries (Total being the sum of the entries' original sizes). It is called
// at least once per 64 KB read or written, so the caller can answer its window's messages there.
// Returning false cancels the unpacking.
using TUnpackProgress = TBoundHandler<bool(int64_t Done, int64_t Total)>;

// Withdrawn: an entry of a package that carries checksums failed, so everything unpacked has been
// removed with the folder and nothing is run. Cancelled: OnProgress said to stop; likewise
// everything unpacked has been removed and nothing is run.
enum class UnpackResult { Unpacked, EntryFailed, NoTempFolder, Withdrawn, Cancelled };

// Creates the unpack folder, then the tree's folders and every entry in it (a failing folder or
// entry shows the could-not-create box and the loop goes on) and, when the header asks for it,
// starts a TExeThread that runs the program with OnDone as its completion callback. Header's table
// has been read (ReadEntryTable). When the folder cannot be created nothing else is done. When
// Checks carries the entries' hashes, an entry whose bytes do not match fails like a damaged one,
// and any failed entry withdraws the package.
UnpackResult UnpackPackage(TPackageHeader& Header, TStream& Package, const TPackageChecks& Checks, TExeDone OnDone,
                           TUnpackProgress OnProgress);

// Removes the unpack folder with everything in it (RemoveRunFolder); false when the folder is still
// there. A junction or symbolic link inside is removed as itself: nothing it points to is touched.
bool RemoveUnpacked();

// The worker: runs ExeName, waits for it and for every process started from the unpack folder,
// removes the folder with all in it, and reports through OnDone in the main thread. It is created
// suspended, filled, then started with ResumeThread; it frees itself when done.
class TExeThread : public TQnThread {
 public:
  explicit TExeThread(bool CreateSuspended);

  int32_t ResultCode = 2;
  TExeDone OnDone;
  std::string ExeName;
  std::string Arguments;  // passed on to the program, behind its quoted path
  DWORD ProgramExitCode = 0;

 protected:
  void Execute() override;

 private:
  void ShowExecError();
  void CallOnDone();
};

// Starts program (as the application name, quoted on the command line with arguments behind it, in
// the unpack folder; through the shell when it needs elevation or is no program, such as a .msi),
// waits for it, then every 400 ms through the sleep queue until no process that was not running
// before has its executable in the unpack folder, or the application is terminated. thread is the
// caller's own handle, for the sleep queue. Returns 0 with the program's exit code in exit_code, or
// -1 when the program could not be started.
int32_t ExecuteAndWait(HANDLE thread, const std::string& program, const std::string& arguments, WORD show,
                       DWORD& exit_code);

}  // namespace vornix
