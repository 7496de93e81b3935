// Times, from inside Wine, how long a program takes from CreateProcessW to
// its first painted window: a visible top-level window of the process with
// nothing left to paint. Each argument after RUNS is one whole command line;
// they run alternating, RUNS times each, after one warm-up run each; each
// run's window is then closed (WM_CLOSE, else the process is ended). Prints
// per command line its median, minimum and maximum in milliseconds.
//
//   first_window_time.exe RUNS "<command line>" ["<command line>" ...]

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Search {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindPaintedWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(hwnd, &owner);
  if (owner != search->pid || !::IsWindowVisible(hwnd))
    return TRUE;
  // Shown, and no part of it still waiting for WM_PAINT.
  if (!::GetUpdateRect(hwnd, nullptr, FALSE)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// Milliseconds until the first painted window; negative on failure.
double RunOnce(const std::wstring& command_line) {
  std::wstring mutable_line = command_line;
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  LARGE_INTEGER frequency, start, now;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  if (!::CreateProcessW(nullptr, mutable_line.data(), nullptr, nullptr, FALSE,
                        0, nullptr, nullptr, &startup, &info)) {
    return -1;
  }
  double elapsed = -1;
  Search search = {info.dwProcessId, nullptr};
  for (int polls = 0; polls < 60000; ++polls) {
    ::EnumWindows(FindPaintedWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      ::QueryPerformanceCounter(&now);
      elapsed = 1000.0 * (now.QuadPart - start.QuadPart) / frequency.QuadPart;
      break;
    }
    if (::WaitForSingleObject(info.hProcess, 1) == WAIT_OBJECT_0)
      break;
  }
  if (search.found)
    ::PostMessageW(search.found, WM_CLOSE, 0, 0);
  if (::WaitForSingleObject(info.hProcess, 10000) != WAIT_OBJECT_0) {
    ::TerminateProcess(info.hProcess, 1);
    ::WaitForSingleObject(info.hProcess, 10000);
  }
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: first_window_time RUNS CMD [CMD...]\n");
    return 2;
  }
  const int runs = _wtoi(argv[1]);
  std::vector<std::vector<double>> times(argc - 2);
  for (int i = 2; i < argc; ++i)
    RunOnce(argv[i]);  // warm-up
  for (int run = 0; run < runs; ++run) {
    for (int i = 2; i < argc; ++i) {
      const double ms = RunOnce(argv[i]);
      if (ms < 0) {
        std::fwprintf(stderr, L"no painted window: %ls\n", argv[i]);
        return 1;
      }
      times[i - 2].push_back(ms);
    }
  }
  for (int i = 2; i < argc; ++i) {
    std::vector<double>& t = times[i - 2];
    std::sort(t.begin(), t.end());
    const double median = t.size() % 2 ? t[t.size() / 2]
                                       : (t[t.size() / 2 - 1] + t[t.size() / 2]) / 2;
    std::wprintf(L"median %8.1f ms  (min %.1f, max %.1f)  %ls\n", median,
                 t.front(), t.back(), argv[i]);
  }
  return 0;
}
