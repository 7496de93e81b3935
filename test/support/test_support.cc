#include "test/support/test_support.h"

#include <psapi.h>
#include <shellapi.h>

#include <cstring>
#include <cwctype>
#include <utility>

#include "base/file_util.h"
#include "base/scoped_handle.h"

namespace test {
namespace {

std::map<std::string, ChildMain>& ChildMains() {
  static std::map<std::string, ChildMain> mains;
  return mains;
}

std::map<std::string, ChildMain>& ProductSwitchMains() {
  static std::map<std::string, ChildMain> mains;
  return mains;
}

std::map<std::string, ChildMain>& ProductRoleMains() {
  static std::map<std::string, ChildMain> mains;
  return mains;
}

// Product switches that make a process a role of the product, never a test
// run: a test binary started with one that it does not answer ends at once
// instead of running its tests again.
constexpr const char* kProductRoleSwitches[] = {"run-as-admin"};

constexpr wchar_t kChildSwitch[] = L"--lite-test-child=";

std::wstring GetEnv(const wchar_t* name, bool* exists) {
  wchar_t buffer[32768];
  DWORD len = ::GetEnvironmentVariableW(name, buffer, 32768);
  *exists = len != 0 || ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  return std::wstring(buffer, len < 32768 ? len : 0);
}

}  // namespace

ScopedTempDir::ScopedTempDir() {
  wchar_t temp[MAX_PATH];
  DWORD len = ::GetTempPathW(MAX_PATH, temp);
  std::wstring base(temp, len);
  static LONG counter = 0;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::wstring candidate = base + L"lite_test_" +
                             std::to_wstring(::GetCurrentProcessId()) + L"_" +
                             std::to_wstring(::InterlockedIncrement(&counter));
    if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
}

ScopedTempDir::~ScopedTempDir() {
  if (!path_.empty())
    DeleteTree(path_);
}

std::wstring ScopedTempDir::Append(const std::wstring& name) const {
  return path_ + L"\\" + name;
}

ScopedTempPathOverride::ScopedTempPathOverride(const std::wstring& dir) {
  old_tmp_ = GetEnv(L"TMP", &had_tmp_);
  old_temp_ = GetEnv(L"TEMP", &had_temp_);
  ::SetEnvironmentVariableW(L"TMP", dir.c_str());
  ::SetEnvironmentVariableW(L"TEMP", dir.c_str());
}

ScopedTempPathOverride::~ScopedTempPathOverride() {
  ::SetEnvironmentVariableW(L"TMP", had_tmp_ ? old_tmp_.c_str() : nullptr);
  ::SetEnvironmentVariableW(L"TEMP", had_temp_ ? old_temp_.c_str() : nullptr);
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const wchar_t* name,
                                                     const wchar_t* value)
    : name_(name) {
  old_value_ = GetEnv(name, &had_value_);
  ::SetEnvironmentVariableW(name, value);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
  ::SetEnvironmentVariableW(name_.c_str(),
                            had_value_ ? old_value_.c_str() : nullptr);
}

bool DeleteTree(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return true;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileW(path.c_str()) != FALSE;
  }
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name != L"." && name != L"..")
        DeleteTree(path + L"\\" + name);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  return ::RemoveDirectoryW(path.c_str()) != FALSE;
}

bool ReadFileToString(const std::wstring& path, std::string* contents) {
  // Read up to the end, also while a writer (a log, a server) is at work.
  base::ScopedFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.is_valid())
    return false;
  contents->clear();
  char buffer[65536];
  DWORD read = 0;
  bool ok = true;
  while (
      (ok = ::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr)) &&
      read > 0) {
    contents->append(buffer, read);
  }
  return ok;
}

std::string ReadFile(const std::wstring& path) {
  std::string contents;
  ReadFileToString(path, &contents);
  return contents;
}

bool WriteStringToFile(const std::wstring& path, const std::string& contents) {
  return base::WriteFileContents(path, contents) == ERROR_SUCCESS;
}

bool PathExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::wstring ToLower(std::wstring text) {
  for (wchar_t& c : text)
    c = static_cast<wchar_t>(towlower(c));
  return text;
}

std::wstring ExecutableDir() {
  wchar_t path[MAX_PATH];
  DWORD len = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring result(path, len);
  return result.substr(0, result.find_last_of(L'\\'));
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)),
      pid_(std::exchange(other.pid_, 0)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    if (process_) {
      // As in the destructor: a child left running by a failed step would
      // meet the next one (a single instance, held mutexes).
      if (IsRunning())
        Terminate();
      ::CloseHandle(process_);
    }
    process_ = std::exchange(other.process_, nullptr);
    pid_ = std::exchange(other.pid_, 0);
  }
  return *this;
}

ChildProcess::~ChildProcess() {
  if (process_) {
    // A test that failed half-way must not leave a child holding mutexes.
    if (IsRunning())
      Terminate();
    ::CloseHandle(process_);
  }
}

bool ChildProcess::Start(const std::wstring& command_line,
                         const std::map<std::wstring, std::wstring>& env) {
  // Build the environment block: the current one with `env` applied.
  std::map<std::wstring, std::wstring, std::less<>> vars;
  wchar_t* block = ::GetEnvironmentStringsW();
  for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
    std::wstring entry(p);
    size_t eq = entry.find(L'=', 1);  // "=C:=C:\" style entries start with =
    if (eq == std::wstring::npos)
      continue;
    vars[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  ::FreeEnvironmentStringsW(block);
  for (const auto& [name, value] : env) {
    if (value.empty())
      vars.erase(name);
    else
      vars[name] = value;
  }
  std::wstring env_block;
  for (const auto& [name, value] : vars) {
    env_block += name + L"=" + value;
    env_block.push_back(L'\0');
  }
  env_block.push_back(L'\0');

  std::wstring mutable_command = command_line;
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, mutable_command.data(), nullptr, nullptr,
                        FALSE, CREATE_UNICODE_ENVIRONMENT, env_block.data(),
                        nullptr, &startup, &info)) {
    return false;
  }
  ::CloseHandle(info.hThread);
  process_ = info.hProcess;
  pid_ = info.dwProcessId;
  return true;
}

bool ChildProcess::Wait(DWORD timeout_ms) {
  return process_ &&
         ::WaitForSingleObject(process_, timeout_ms) == WAIT_OBJECT_0;
}

bool ChildProcess::WaitPumpingMessages(DWORD timeout_ms) {
  if (!process_)
    return false;
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  while (true) {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline)
      return false;
    DWORD result = ::MsgWaitForMultipleObjects(
        1, &process_, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    if (result == WAIT_OBJECT_0)
      return true;
    if (result != WAIT_OBJECT_0 + 1)
      return false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

DWORD ChildProcess::exit_code() const {
  DWORD code = 0;
  ::GetExitCodeProcess(process_, &code);
  return code;
}

bool ChildProcess::IsRunning() const {
  return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void ChildProcess::Terminate() {
  ::TerminateProcess(process_, 0xDEAD);
  ::WaitForSingleObject(process_, 10000);
}

bool RegisterChildMain(const char* name, ChildMain main) {
  ChildMains()[name] = main;
  return true;
}

ChildProcess StartChild(const std::string& name,
                        const std::wstring& extra_args,
                        const std::map<std::wstring, std::wstring>& env) {
  wchar_t exe[MAX_PATH];
  DWORD len = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(exe, len) + L"\" " +
                         kChildSwitch + std::wstring(name.begin(), name.end());
  if (!extra_args.empty())
    command += L" " + extra_args;
  ChildProcess child;
  child.Start(command, env);
  return child;
}

bool RegisterProductSwitchMain(const char* name, ChildMain main) {
  ProductSwitchMains()[name] = main;
  return true;
}

bool RegisterProductRoleMain(const char* name, ChildMain main) {
  ProductRoleMains()[name] = main;
  return true;
}

bool MaybeRunChildMain(int argc, wchar_t** argv, int* exit_code) {
  for (const char* role : kProductRoleSwitches) {
    const std::wstring flag = L"--" + std::wstring(role, role + strlen(role));
    for (int i = 1; i < argc; ++i) {
      if (_wcsicmp(argv[i], flag.c_str()) != 0)
        continue;
      auto it = ProductRoleMains().find(role);
      *exit_code = it != ProductRoleMains().end() ? it->second({}) : 255;
      return true;
    }
  }
  if (argc == 2 && wcsncmp(argv[1], L"--", 2) == 0) {
    std::wstring wide_name(argv[1] + 2);
    auto it = ProductSwitchMains().find(
        std::string(wide_name.begin(), wide_name.end()));
    if (it != ProductSwitchMains().end()) {
      *exit_code = it->second({});
      return true;
    }
  }
  const size_t prefix = wcslen(kChildSwitch);
  for (int i = 1; i < argc; ++i) {
    if (wcsncmp(argv[i], kChildSwitch, prefix) != 0)
      continue;
    std::wstring wide_name(argv[i] + prefix);
    std::string name(wide_name.begin(), wide_name.end());
    auto it = ChildMains().find(name);
    if (it == ChildMains().end()) {
      *exit_code = 255;
      return true;
    }
    std::vector<std::wstring> args(argv + i + 1, argv + argc);
    *exit_code = it->second(args);
    return true;
  }
  return false;
}

std::string UnixPath(const std::wstring& windows_path) {
  std::wstring rest = windows_path.substr(2);  // without "Z:"
  for (wchar_t& c : rest) {
    if (c == L'\\')
      c = L'/';
  }
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, rest.data(),
                                         static_cast<int>(rest.size()), nullptr,
                                         0, nullptr, nullptr);
  std::string path(size, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, rest.data(), static_cast<int>(rest.size()),
                        path.data(), size, nullptr, nullptr);
  return path;
}

std::wstring WinePath(const std::string& unix_path) {
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, unix_path.data(),
                                         static_cast<int>(unix_path.size()),
                                         nullptr, 0);
  std::wstring path(size, L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, unix_path.data(),
                        static_cast<int>(unix_path.size()), path.data(), size);
  for (wchar_t& c : path) {
    if (c == L'/')
      c = L'\\';
  }
  return L"Z:" + path;
}

size_t PeakWorkingSetBytes() {
  PROCESS_MEMORY_COUNTERS counters = {sizeof(counters)};
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters,
                              sizeof(counters))) {
    return 0;
  }
  return counters.PeakWorkingSetSize;
}

}  // namespace test
