#ifndef BASE_SYSTEM_LIBRARY_H_
#define BASE_SYSTEM_LIBRARY_H_

#include <windows.h>

#include <string>

namespace base {

// Full path of a DLL in the system directory, or empty when that directory
// cannot be determined.
std::wstring SystemLibraryPath(const wchar_t* dll_name);

// Loads a DLL from the system directory only, never from the program's
// folder or the current directory. Returns nullptr on failure.
HMODULE LoadSystemLibrary(const wchar_t* dll_name);

// Resolves a function that may be missing on older Windows. The module is
// taken from the already-loaded list first, else loaded from the system
// directory, and stays loaded for the life of the process.
FARPROC GetSystemFunction(const wchar_t* dll_name, const char* function_name);

template <typename Fn>
Fn GetSystemFunctionAs(const wchar_t* dll_name, const char* function_name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetSystemFunction(dll_name, function_name)));
}

}  // namespace base

#endif  // BASE_SYSTEM_LIBRARY_H_
