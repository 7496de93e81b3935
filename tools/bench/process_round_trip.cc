// Times, from inside Wine, what a thread that starts a program and waits for
// it spends: CreateProcessW until the process handle is signalled. Each
// argument after RUNS is one whole command line; they run alternating, RUNS
// times each, after one warm-up run each. Prints per command line its
// median, minimum and maximum in milliseconds and its last exit code.
//
//   process_round_trip.exe RUNS "<command line>" ["<command line>" ...]

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// Milliseconds from start to the end of the process; negative on failure.
double RunOnce(const std::wstring& command_line, DWORD* exit_code) {
  std::wstring mutable_line = command_line;
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  if (!::CreateProcessW(nullptr, mutable_line.data(), nullptr, nullptr, FALSE,
                        0, nullptr, nullptr, &startup, &info)) {
    return -1;
  }
  // A bench run never waits more than a minute.
  const DWORD wait = ::WaitForSingleObject(info.hProcess, 60000);
  ::QueryPerformanceCounter(&end);
  ::GetExitCodeProcess(info.hProcess, exit_code);
  if (wait != WAIT_OBJECT_0)
    ::TerminateProcess(info.hProcess, 1);
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  if (wait != WAIT_OBJECT_0)
    return -1;
  return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: process_round_trip RUNS CMDLINE...\n");
    return 2;
  }
  const int runs = _wtoi(argv[1]);
  const int programs = argc - 2;
  std::vector<std::vector<double>> times(programs);
  std::vector<DWORD> exit_codes(programs);
  for (int run = -1; run < runs; ++run) {
    for (int p = 0; p < programs; ++p) {
      const double ms = RunOnce(argv[p + 2], &exit_codes[p]);
      if (ms < 0) {
        std::fwprintf(stderr, L"failed to run: %ls\n", argv[p + 2]);
        return 1;
      }
      if (run >= 0)  // the first round only warms the file cache
        times[p].push_back(ms);
    }
  }
  for (int p = 0; p < programs; ++p) {
    std::vector<double>& t = times[p];
    std::sort(t.begin(), t.end());
    const size_t n = t.size();
    const double median = n % 2 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
    std::wprintf(L"median %8.1f ms  (min %.1f, max %.1f, exit code %ld)  %ls\n",
                 median, t.front(), t.back(), static_cast<long>(exit_codes[p]),
                 argv[p + 2]);
  }
  return 0;
}
