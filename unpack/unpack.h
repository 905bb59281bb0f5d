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
// directory, and records it in TempFolder. A directory that appears between the check and the
// creation (another copy of the stub) moves on to the next number. Returns false after showing
// "Could not create temporary path!" when the folder cannot be created or its path does not fit.
bool CreateTempFolder();

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

// Removes everything inside the unpack folder, deepest first, and the folder itself; false when the
// folder is still there. A junction or symbolic link inside is removed as itself: nothing it points
// to is touched.
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
