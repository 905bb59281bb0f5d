// frmMain: the stub's only window. It shows the package's title, publisher and welcome note, starts
// the unpacking two seconds later and ends the application when the worker reports that it is done.
// Native Win32 controls: static labels, a read-only multi-line edit for the note, an owner-drawn
// bevel line, and a progress bar while the unpacking goes on; a one-shot timer.
//
// The unpacking runs in the main thread, in pieces: between them the window's messages are
// answered (UnpackHeadway), so the window stays responsive, and closing it cancels the unpacking.
// That keeps all window work and every box in the main thread without a second thread to stop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "package/integrity.h"
#include "package/package_layout.h"
#include "runtime/stream.h"

namespace vornix {

namespace frm_main_messages {
constexpr const char* kCorruptPackage =
    "     This file could not be unpacked.\r\r     It has corrupt data and can not be fixed.  Please download\rthe "
    "file "
    "again.  If this error persists, please contact the program\rvendor for a fresh distribution package.\r\r";
constexpr const char* kLabel1 = "Quorrin Vornix 1.0  (c) 2026 the Vornix developers  ";
}  // namespace frm_main_messages

// Control identifiers, so that the controls can be told apart from outside.
enum MainFormControl : int { kNoteId = 1, kBevel1Id, kLabel1Id, kLabel3Id, kLabel4Id, kLabel5Id, kProgressId };

class TMainForm {
 public:
  // Creates the window (hidden) and its controls, then runs FormCreate.
  TMainForm();
  // Runs FormDestroy and destroys the window.
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // False when FormCreate failed: its box has been shown and the application is to end at once.
  bool Created() const { return created_; }
  // True once the run's job is done: unpacked with nothing to run, or reported by the worker.
  bool RunOver() const { return stage_ == Stage::Over; }
  // True while a worker runs the package's program.
  bool WorkerRunning() const { return stage_ == Stage::Running; }

  HWND Handle = nullptr;
  HWND Note = nullptr;
  HWND Bevel1 = nullptr;
  HWND Label1 = nullptr;
  HWND Label3 = nullptr;
  HWND Label4 = nullptr;
  HWND Label5 = nullptr;
  HWND Progress = nullptr;  // from the start of the unpacking on
  std::unique_ptr<TStream> PackageStream;
  TPackageHeader Header;
  TPackageChecks Checks;

  void FormCreate();
  void FormDestroy();
  void Timer1Timer();
  void ExeThreadDone(int32_t Code, uint32_t ExitCode);
  // The unpacking's progress handler: every kAnswerIntervalMs, moves the bar and answers the
  // messages waiting. False once the window has been closed (the quit message came).
  bool UnpackHeadway(int64_t Done, int64_t Total);

 private:
  enum class Stage { Waiting, Unpacking, Running, Over };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  HWND AddControl(const char* window_class, DWORD style, int id, int left, int top, int width, int height, HFONT font);
  void SetAutoSizedText(HWND label, const std::string& text);

  HFONT window_font_ = nullptr;
  HFONT bold_font_ = nullptr;
  HICON small_icon_ = nullptr;
  bool created_ = false;
  Stage stage_ = Stage::Waiting;
  DWORD last_answer_ = 0;  // GetTickCount when the messages were last answered
  int shown_position_ = -1;
  bool closed_ = false;
};

}  // namespace vornix
