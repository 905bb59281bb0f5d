// The program that stub_bench's packages run. At its very start it writes QueryPerformanceCounter
// (system-wide, so comparable with the benchmark's own readings) as decimal text to the file named
// by VORNIX_BENCH_STARTED_FILE and sets the event named by VORNIX_BENCH_STARTED_EVENT; then it
// sleeps VORNIX_BENCH_SLEEP_MS milliseconds (none when unset), sets VORNIX_BENCH_ENDING_EVENT and
// ends. A GUI program without a window, as an installer starts: no console is made for it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Variable(const char* name) {
  char value[1024] = {};
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length < sizeof value ? std::string(value, length) : std::string();
}

void WriteText(const std::string& path, const std::string& text) {
  if (path.empty()) return;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

void SetNamedEvent(const std::string& name) {
  if (name.empty()) return;
  HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str());
  if (event == nullptr) return;
  SetEvent(event);
  CloseHandle(event);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  char count[32];
  std::snprintf(count, sizeof count, "%lld", static_cast<long long>(start.QuadPart));
  WriteText(Variable("VORNIX_BENCH_STARTED_FILE"), count);
  SetNamedEvent(Variable("VORNIX_BENCH_STARTED_EVENT"));
  // The stand-in for an installer that runs a while: the stub waits for it meanwhile.
  const std::string sleep_ms = Variable("VORNIX_BENCH_SLEEP_MS");
  if (!sleep_ms.empty()) Sleep(static_cast<DWORD>(std::strtoul(sleep_ms.c_str(), nullptr, 10)));
  SetNamedEvent(Variable("VORNIX_BENCH_ENDING_EVENT"));
  return 0;
}
