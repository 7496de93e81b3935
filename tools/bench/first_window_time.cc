// Times, from inside Wine, how long a program takes from CreateProcessW to
// its first painted window: a visible top-level window of the process with
// nothing left to paint. Each argument after RUNS is one whole command line;
// they run alternating, RUNS times each, after one warm-up run each; each
// run's window is then closed (SC_CLOSE, else the process is ended). Prints
// per command line its median, minimum and maximum in milliseconds.
//
//   first_window_time.exe RUNS "<command line>" ["<command line>" ...]
//
// A command line written "@X,Y,RRGGBB@<command line>" counts its window as
// painted only once the screen shows colour RRGGBB at (X, Y) of a visible
// window of the process (read from the screen, polled every millisecond):
// what a user sees, not what the window claims.

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
  // The pixel to wait for, when `probe` is set.
  bool probe;
  POINT at;
  COLORREF colour;
};

// Splits "@X,Y,RRGGBB@command" into the probe and the command.
std::wstring ParseProbe(const std::wstring& argument, Search* search) {
  search->probe = false;
  if (argument.size() < 2 || argument[0] != L'@')
    return argument;
  const size_t end = argument.find(L'@', 1);
  unsigned x = 0, y = 0, rgb = 0;
  if (end == std::wstring::npos ||
      std::swscanf(argument.c_str() + 1, L"%u,%u,%x", &x, &y, &rgb) != 3) {
    return argument;
  }
  search->probe = true;
  search->at = {static_cast<LONG>(x), static_cast<LONG>(y)};
  search->colour = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
  return argument.substr(end + 1);
}

bool ShowsProbe(HWND hwnd, const Search& search) {
  RECT rect;
  if (!::GetWindowRect(hwnd, &rect) || rect.right - rect.left <= search.at.x ||
      rect.bottom - rect.top <= search.at.y) {
    return false;
  }
  HDC screen = ::GetDC(nullptr);
  const COLORREF pixel = ::GetPixel(screen, rect.left + search.at.x, rect.top + search.at.y);
  ::ReleaseDC(nullptr, screen);
  return pixel == search.colour;
}

BOOL CALLBACK FindPaintedWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(hwnd, &owner);
  if (owner != search->pid || !::IsWindowVisible(hwnd))
    return TRUE;
  // Shown, and no part of it still waiting for WM_PAINT (or the probed
  // pixel on screen).
  if (search->probe ? ShowsProbe(hwnd, *search) : !::GetUpdateRect(hwnd, nullptr, FALSE)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// Milliseconds until the first painted window; negative on failure.
double RunOnce(const std::wstring& argument) {
  Search search = {};
  std::wstring mutable_line = ParseProbe(argument, &search);
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
  search.pid = info.dwProcessId;
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
    ::PostMessageW(search.found, WM_SYSCOMMAND, SC_CLOSE, 0);
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
