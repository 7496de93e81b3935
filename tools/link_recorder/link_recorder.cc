// Stands in for the web browser in the test prefix: the prefix's http and
// https "open" commands run this program with the address, and it appends
// the address, as one UTF-8 line, to the file that the environment variable
// LITE_LINK_RECORD names (inherited from whoever opened the link). Without
// the variable it does nothing. Exit code 0 when the line was written.

#include <windows.h>

#include <string>

#include "base/strings.h"

int wmain(int argc, wchar_t** argv) {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableW(L"LITE_LINK_RECORD", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return 1;
  std::wstring address;
  for (int i = 1; i < argc; ++i)
    address += (i > 1 ? L" " : L"") + std::wstring(argv[i]);
  const std::string line = base::WideToUTF8(address) + "\n";
  // Opened for appending, shared: links clicked one after the other may
  // start recorders that overlap.
  for (int attempt = 0; attempt < 100; ++attempt) {
    HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      const bool ok = ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written,
                                  nullptr) &&
                      written == line.size();
      ::CloseHandle(file);
      return ok ? 0 : 1;
    }
    ::Sleep(20);
  }
  return 1;
}
