// Runs a command line, waits for it and prints its full 32-bit exit code
// (a Unix shell sees only the low 8 bits of a Windows exit code).
// Usage: run_process.exe [--set-env=NAME=VALUE...] <program> [arguments...]
// The --set-env pairs are put into the child's environment (Wine replaces
// TMP and TEMP from its registry, so they cannot come from the Unix side).

#include <windows.h>

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
  constexpr wchar_t kSetEnv[] = L"--set-env=";
  const size_t prefix = std::wcslen(kSetEnv);
  for (int i = 1; i < argc && std::wcsncmp(argv[i], kSetEnv, prefix) == 0;
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
  ::WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(info.hProcess, &code);
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  std::printf("exit code: %ld\n", static_cast<long>(static_cast<LONG>(code)));
  return 0;
}
