// The damage sweep's box answerer under Wine: a stub that refuses a package shows an error box and
// waits until someone presses OK, which nobody does on Xvfb. Started beside the stub in the same
// wineserver session, this watches the processes whose executable is NAME, answers every message
// box (window class "#32770") they own with WM_COMMAND IDOK, writes each box's text once to LOG,
// and ends once such a process has been seen and none has been left for half a second.
// Usage: damage_boxes.exe NAME SECONDS LOG
//   exit 0: the stub came and went; 1: it still ran after SECONDS; 2: it never showed up in time;
//   3: usage.
// Build: i686-w64-mingw32-g++-posix -O2 -s -static -mwindows -Wl,--no-insert-timestamp damage_boxes.cpp
#include <tlhelp32.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

constexpr DWORD kPollMs = 50;
// How long the stub may be absent once seen before its run counts as over: Wine shows a process
// in the snapshot a little before its first window, never after its exit.
constexpr DWORD kGoneMs = 500;
// The stub is started right after this program; Wine's start of it takes well under this.
constexpr DWORD kArrivalMs = 20000;

struct Watch {
  std::set<DWORD> pids;
  std::set<HWND> answered;
  FILE* log = nullptr;
};

std::set<DWORD> ProcessesNamed(const char* name) {
  std::set<DWORD> pids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return pids;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    // szExeFile is the bare file name; compare it without case, as Windows names files.
    const char* base = std::strrchr(entry.szExeFile, '\\');
    base = base != nullptr ? base + 1 : entry.szExeFile;
    if (lstrcmpiA(base, name) == 0) pids.insert(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return pids;
}

// The text of a message box is its static control 0xFFFF. The stub breaks its lines with a bare CR;
// every run of line breaks becomes " / " and every run of blanks one blank, so one box is one line
// of the log.
std::string BoxText(HWND box) {
  char text[1024] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  std::string line;
  bool pending_break = false;
  bool pending_blank = false;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\r' || *p == '\n') {
      pending_break = true;
    } else if (*p == ' ' || *p == '\t') {
      pending_blank = true;
    } else {
      if (!line.empty() && pending_break) {
        line += " / ";
      } else if (!line.empty() && pending_blank) {
        line += ' ';
      }
      pending_break = pending_blank = false;
      line += *p;
    }
  }
  return line;
}

BOOL CALLBACK AnswerBox(HWND window, LPARAM parameter) {
  auto* watch = reinterpret_cast<Watch*>(parameter);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (watch->pids.count(pid) == 0) return TRUE;
  char window_class[64] = {};
  GetClassNameA(window, window_class, sizeof window_class);
  if (std::strcmp(window_class, "#32770") != 0) return TRUE;
  // A box that is still being built has no text yet; it is answered on a later round.
  const std::string text = BoxText(window);
  if (text.empty()) return TRUE;
  if (watch->answered.insert(window).second && watch->log != nullptr) {
    std::fprintf(watch->log, "box: %s\n", text.c_str());
    std::fflush(watch->log);
  }
  PostMessageA(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc != 4) return 3;
  const char* name = __argv[1];
  const DWORD limit_ms = static_cast<DWORD>(std::atoi(__argv[2])) * 1000;
  Watch watch;
  watch.log = std::fopen(__argv[3], "w");
  if (watch.log == nullptr) return 3;

  const DWORD start = GetTickCount();
  DWORD last_seen = 0;
  bool seen = false;
  int result = 1;
  for (;;) {
    const DWORD now = GetTickCount();
    watch.pids = ProcessesNamed(name);
    if (!watch.pids.empty()) {
      seen = true;
      last_seen = now;
      EnumWindows(&AnswerBox, reinterpret_cast<LPARAM>(&watch));
    } else if (seen && now - last_seen >= kGoneMs) {
      result = 0;
      break;
    } else if (!seen && now - start >= kArrivalMs) {
      result = 2;
      break;
    }
    if (now - start >= limit_ms) break;
    Sleep(kPollMs);
  }
  std::fprintf(watch.log, "end: %s, %u boxes\n",
               result == 0   ? "gone"
               : result == 2 ? "never seen"
                             : "still running",
               static_cast<unsigned>(watch.answered.size()));
  std::fclose(watch.log);
  return result;
}
