// Stands in for a program that the installer starts by name or through the
// shell (a web browser for an address, the installed browser): appends one
// line to the file named by the environment variable LITE_URL_RECORD_FILE
// with the number of arguments it received and each argument, separated by
// tabs, in UTF-8, and exits with 0.

#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableW(L"LITE_URL_RECORD_FILE", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return 1;
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!arguments)
    return 1;
  std::wstring line = std::to_wstring(count - 1);
  for (int i = 1; i < count; ++i)
    line += L"\t" + std::wstring(arguments[i]);
  line += L"\n";
  ::LocalFree(arguments);
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                          nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(),
                        bytes, nullptr, nullptr);
  // Several recorders may run at once: retry while another one writes.
  for (int attempt = 0; attempt < 100; ++attempt) {
    HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      const BOOL ok = ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written,
                                  nullptr);
      ::CloseHandle(file);
      return ok && written == utf8.size() ? 0 : 1;
    }
    ::Sleep(20);
  }
  return 1;
}
