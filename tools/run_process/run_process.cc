// Runs a command line, waits for it and prints its full 32-bit exit code
// (a Unix shell sees only the low 8 bits of a Windows exit code).
// Usage: run_process.exe [--peak-memory] [--set-env=NAME=VALUE...] <program>
//            [arguments...]
// The --set-env pairs are put into the child's environment (Wine replaces
// TMP and TEMP from its registry, so they cannot come from the Unix side).
// --peak-memory also prints the child's peak working set
// (GetProcessMemoryInfo), read while it runs: under Wine the counters of a
// process that has ended are gone.

#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: run_process <program> [arguments...]\n");
    return 2;
  }
  // Everything after our own arguments, exactly as it was given.
  const wchar_t* line = ::GetCommandLineW();
  auto skip_token = [&line] {
    bool quoted = false;
    for (; *line && (quoted || (*line != L' ' && *line != L'\t')); ++line) {
      if (*line == L'"')
        quoted = !quoted;
    }
    while (*line == L' ' || *line == L'\t')
      ++line;
  };
  skip_token();
  int first = 1;
  const bool peak_memory =
      argc > 2 && std::wcscmp(argv[1], L"--peak-memory") == 0;
  if (peak_memory) {
    ++first;
    skip_token();
  }
  constexpr wchar_t kSetEnv[] = L"--set-env=";
  const size_t prefix = std::wcslen(kSetEnv);
  for (int i = first; i < argc && std::wcsncmp(argv[i], kSetEnv, prefix) == 0;
       ++i) {
    std::wstring pair(argv[i] + prefix);
    size_t eq = pair.find(L'=');
    if (eq != std::wstring::npos) {
      ::SetEnvironmentVariableW(pair.substr(0, eq).c_str(),
                                pair.substr(eq + 1).c_str());
    }
    skip_token();
  }
  std::wstring command(line);

  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &info)) {
    std::fwprintf(stderr, L"run_process: cannot start %ls (error %lu)\n",
                  command.c_str(), ::GetLastError());
    return 2;
  }
  // The peak only grows, so the last reading before the end is the peak
  // up to the last 20 ms, in which the child only ends.
  SIZE_T peak = 0;
  bool peak_read = false;
  DWORD peak_error = 0;
  if (peak_memory) {
    do {
      PROCESS_MEMORY_COUNTERS counters = {sizeof(counters)};
      if (::GetProcessMemoryInfo(info.hProcess, &counters, sizeof(counters))) {
        peak_read = true;
        if (counters.PeakWorkingSetSize > peak)
          peak = counters.PeakWorkingSetSize;
      } else {
        peak_error = ::GetLastError();
      }
    } while (::WaitForSingleObject(info.hProcess, 20) == WAIT_TIMEOUT);
  }
  ::WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(info.hProcess, &code);
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  std::printf("exit code: %ld\n", static_cast<long>(static_cast<LONG>(code)));
  if (peak_memory && peak_read)
    std::printf("peak working set: %llu\n", static_cast<unsigned long long>(peak));
  else if (peak_memory)
    std::printf("peak working set: unknown (error %lu)\n", peak_error);
  return 0;
}
