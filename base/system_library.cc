#include "base/system_library.h"

namespace base {

std::wstring SystemLibraryPath(const wchar_t* dll_name) {
  wchar_t dir[MAX_PATH];
  UINT len = ::GetSystemDirectoryW(dir, MAX_PATH);
  if (len == 0 || len >= MAX_PATH)
    return std::wstring();
  std::wstring path(dir, len);
  if (path.back() != L'\\')
    path.push_back(L'\\');
  path += dll_name;
  return path;
}

HMODULE LoadSystemLibrary(const wchar_t* dll_name) {
  std::wstring path = SystemLibraryPath(dll_name);
  if (path.empty())
    return nullptr;
  // The full path plus LOAD_WITH_ALTERED_SEARCH_PATH makes the DLL's own
  // dependencies resolve from the system directory too.
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

FARPROC GetSystemFunction(const wchar_t* dll_name, const char* function_name) {
  HMODULE module = ::GetModuleHandleW(dll_name);
  if (!module)
    module = LoadSystemLibrary(dll_name);
  if (!module)
    return nullptr;
  return ::GetProcAddress(module, function_name);
}

}  // namespace base
