#include "chrome/installer/lite_installer/secure_environment.h"

#include <windows.h>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "base/system_facts.h"
#include "chrome/installer/lite_installer/exit_codes.h"
#include "chrome/installer/lite_installer/switches.h"

namespace lite_installer {

namespace {

using SetSearchPathModeFunction = BOOL(WINAPI*)(DWORD flags);
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD flags);

// The program file of this process; empty when it cannot be read whole.
std::wstring GetProgramPath() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  // Older Windows truncates without an error: a full buffer counts as cut.
  if (length == 0 || length >= MAX_PATH ||
      ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    return std::wstring();
  }
  return std::wstring(path, length);
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// A new directory with a name of hexadecimal digits in the user's temporary
// folder; empty when none could be made.
std::wstring CreateFreshTempDirectory() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH)
    return std::wstring();
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  uint32_t seed = static_cast<uint32_t>(counter.QuadPart) ^
                  (::GetCurrentProcessId() << 16) ^ ::GetTickCount();
  // A name another process took meanwhile is passed over; anything else
  // ends the attempt.
  for (int attempt = 0; attempt < 100; ++attempt) {
    seed = seed * 1664525u + 1013904223u;
    wchar_t name[9];
    for (int i = 0; i < 8; ++i)
      name[i] = L"0123456789ABCDEF"[(seed >> (28 - 4 * i)) & 0xF];
    name[8] = L'\0';
    std::wstring path = std::wstring(temp, length) + name;
    if (::CreateDirectoryW(path.c_str(), nullptr))
      return path;
    if (::GetLastError() != ERROR_ALREADY_EXISTS)
      return std::wstring();
  }
  return std::wstring();
}

// Windows before the update that adds the safe search functions: the
// program's own folder stays on the search path, so the program either
// moves to a folder that holds nothing else or, when it is already such a
// copy (or the elevated one, which must not start another), checks that no
// DLL lies beside it.
SecureEnvironmentResult FallBackWithoutSafeSearch(int* exit_code) {
  ::SetDllDirectoryW(L"");
  const std::wstring program = GetProgramPath();
  const base::CommandLine& command_line =
      base::CommandLine::ForCurrentProcess();
  if (!command_line.HasSwitch(switches::kRunAsAdmin) &&
      !command_line.HasSwitch(switches::kSpawnedInProtectedDir)) {
    return RelaunchFromProtectedDirectory(program, command_line, exit_code);
  }
  // Without its own path the program cannot tell which folder it sits in;
  // an empty folder would search the current directory instead.
  if (program.empty())
    return SecureEnvironmentResult::kCantFindSecure;
  return HasDllFilesIn(FolderOf(program))
             ? SecureEnvironmentResult::kDllFilesFound
             : SecureEnvironmentResult::kSecure;
}

}  // namespace

SecureEnvironmentResult EnsureSecureEnvironment(int* exit_code) {
  *exit_code = 0;
  // Takes the current directory off the search order at once.
  ::SetDllDirectoryW(L"");
  const base::SystemFacts& facts = base::SystemFacts::Current();
  auto set_search_path_mode = reinterpret_cast<SetSearchPathModeFunction>(
      reinterpret_cast<void*>(facts.GetKernel32Function("SetSearchPathMode")));
  auto set_default_dll_directories =
      reinterpret_cast<SetDefaultDllDirectoriesFunction>(
          reinterpret_cast<void*>(
              facts.GetKernel32Function("SetDefaultDllDirectories")));
  if (!set_search_path_mode || !set_default_dll_directories)
    return FallBackWithoutSafeSearch(exit_code);
  // Once the functions exist, a failure of theirs is reported, not worked
  // around.
  if (set_search_path_mode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE |
                           BASE_SEARCH_PATH_PERMANENT) &&
      set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return SecureEnvironmentResult::kSecure;
  }
  return SecureEnvironmentResult::kCantFindSecure;
}

bool HasDllFilesIn(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  base::ScopedFindHandle find(
      ::FindFirstFileW((folder + L"\\*.dll").c_str(), &found));
  if (!find)
    return false;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return true;
  } while (::FindNextFileW(find.get(), &found));
  return false;
}

SecureEnvironmentResult RelaunchFromProtectedDirectory(
    const std::wstring& program,
    const base::CommandLine& command_line,
    int* exit_code) {
  if (program.empty())
    return SecureEnvironmentResult::kCantFindSecure;
  const std::wstring directory = CreateFreshTempDirectory();
  if (directory.empty())
    return SecureEnvironmentResult::kCantFindSecure;
  const std::wstring target = directory + L"\\" + FileNameOf(program);
  if (!::CopyFileW(program.c_str(), target.c_str(), /*bFailIfExists=*/TRUE)) {
    base::DeleteDirectoryTree(directory);
    return SecureEnvironmentResult::kCantFindSecure;
  }
  // Whatever is still in use when the copy ends goes at the next reboot.
  // Both may fail without administrator rights; that is accepted.
  ::MoveFileExW(target.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  ::MoveFileExW(directory.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);

  base::CommandLine copy_command_line = command_line;
  copy_command_line.SetProgram(target);
  copy_command_line.AppendSwitch(switches::kSpawnedInProtectedDir);
  std::wstring text = copy_command_line.GetCommandLineString();
  STARTUPINFOW startup_info = {sizeof(startup_info)};
  PROCESS_INFORMATION process_info = {};
  if (!::CreateProcessW(target.c_str(), text.data(), nullptr, nullptr,
                        /*bInheritHandles=*/FALSE, 0, nullptr,
                        directory.c_str(), &startup_info, &process_info)) {
    base::DeleteDirectoryTree(directory);
    return SecureEnvironmentResult::kCantFindSecure;
  }
  base::ScopedKernelHandle process(process_info.hProcess);
  base::ScopedKernelHandle thread(process_info.hThread);
  thread.reset();

  SecureEnvironmentResult result = SecureEnvironmentResult::kInsecure;
  DWORD copy_exit_code = 0;
  if (::WaitForSingleObject(process.get(), INFINITE) == WAIT_OBJECT_0 &&
      ::GetExitCodeProcess(process.get(), &copy_exit_code)) {
    *exit_code = static_cast<int>(copy_exit_code);
    if (*exit_code != kExitDllFilesFound)
      result = SecureEnvironmentResult::kDelegatedToCopy;
  }
  process.reset();
  // The copy's program file can stay mapped for a moment after its process
  // has ended; a few short retries, and whatever is still held goes at the
  // next reboot.
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (base::DeleteDirectoryTree(directory))
      break;
    ::Sleep(50);
  }
  return result;
}

}  // namespace lite_installer
