// Stands in for the browser's setup program in tests and in the demo. It
// writes what it was given into a JSON report and exits with a chosen code:
//   --fake-setup-report=PATH     where the report goes (else beside the exe)
//   --fake-setup-exit-code=N     the exit code (else 0)
//   --fake-setup-wait-for=A,B    first waits until the files that switches A
//                                and B name exist (at most
//   --fake-setup-wait-ms=N       N ms, else 30000)
//   --fake-setup-sleep-ms=N      then runs for N ms more before it exits
//   --fake-setup-hold-until=PATH after writing its report, holds until the
//                                file PATH exists (at most the wait above)
//   --fake-setup-browser-ms=N    and starts a stand-in browser that owns a
//                                message-only "NorvelBrowser_MessageWindow"
//                                for N ms (a copy of this program in the
//                                temporary folder, run with
//                                --fake-browser-ms=N)
// "parent_process_id" is the process that started it;
// "started_ms" is when it started, in milliseconds since 1970 (UTC).
// Every switch the installer passes is recorded. Files are recorded as setup
// finds them while it runs (the installer may delete some when it exits):
// for every switch whose value is an absolute path, "files" holds whether the
// file exists, its size, SHA-256 and, for a small file of UTF-8 text, the
// text itself. "product_key" holds the string and DWORD values under the
// browser's product key (HKEY_CURRENT_USER\Software\Norvel\NorvelBrowser)
// as setup finds them. The program carries a version resource (9.8.7.6).

#include <windows.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/digest.h"
#include "base/json.h"
#include "base/strings.h"

namespace {

// Files up to this size that hold UTF-8 text are recorded with their text.
constexpr size_t kTextLimit = 64 * 1024;

bool IsAbsolutePath(const std::wstring& value) {
  return (value.size() >= 3 && value[1] == L':' && value[2] == L'\\') ||
         value.rfind(L"\\\\", 0) == 0;
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The whole file; false when it cannot be read.
bool ReadWholeFile(const std::wstring& path, std::string* contents) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE |
                                  FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  contents->clear();
  char buffer[65536];
  DWORD read = 0;
  bool ok = true;
  while ((ok = ::ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) &&
         read > 0) {
    contents->append(buffer, read);
  }
  ::CloseHandle(file);
  return ok;
}

std::string Sha256Hex(const std::string& bytes) {
  uint8_t digest[base::kSha256Length];
  base::Sha256(bytes.data(), bytes.size(), digest);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t byte : digest) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 15]);
  }
  return hex;
}

bool IsUtf8Text(const std::string& bytes) {
  return base::WideToUTF8(base::UTF8ToWide(bytes)) == bytes &&
         bytes.find('\0') == std::string::npos;
}

base::Json DescribeFile(const std::wstring& path) {
  base::Json entry = {{"path", base::WideToUTF8(path)}, {"exists", false}};
  std::string contents;
  if (!IsFile(path) || !ReadWholeFile(path, &contents))
    return entry;
  entry["exists"] = true;
  entry["size"] = static_cast<int64_t>(contents.size());
  entry["sha256"] = Sha256Hex(contents);
  if (contents.size() <= kTextLimit && IsUtf8Text(contents))
    entry["text"] = contents;
  return entry;
}

int64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() ||
      !::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return -1;
  }
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

DWORD NumberSwitch(const base::CommandLine& line,
                   const char* name,
                   DWORD fallback) {
  const std::string text = line.GetSwitchValueNarrow(name);
  return text.empty() ? fallback
                      : static_cast<DWORD>(std::strtoul(text.c_str(), nullptr,
                                                        10));
}

// The id of the process that started this one; 0 when unknown.
DWORD ParentProcessId() {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return 0;
  DWORD parent = 0;
  PROCESSENTRY32W entry = {sizeof(entry)};
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
       more = ::Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == ::GetCurrentProcessId()) {
      parent = entry.th32ParentProcessID;
      break;
    }
  }
  ::CloseHandle(snapshot);
  return parent;
}

// Polls until `path` exists or `limit_ms` passed.
void WaitForFile(const std::wstring& path, DWORD limit_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + limit_ms;
  while (!IsFile(path) && ::GetTickCount64() < deadline)
    ::Sleep(20);
}

// Waits, polling, until the files the named switches give exist; bounded.
void WaitForFiles(const base::CommandLine& line) {
  const std::string names = line.GetSwitchValueNarrow("fake-setup-wait-for");
  if (names.empty())
    return;
  std::vector<std::wstring> paths;
  size_t start = 0;
  while (start <= names.size()) {
    size_t end = names.find(',', start);
    if (end == std::string::npos)
      end = names.size();
    if (end > start)
      paths.push_back(line.GetSwitchValue(names.substr(start, end - start)));
    start = end + 1;
  }
  const DWORD limit_ms = NumberSwitch(line, "fake-setup-wait-ms", 30000);
  const ULONGLONG deadline = ::GetTickCount64() + limit_ms;
  for (;;) {
    bool all = true;
    for (const std::wstring& path : paths)
      all = all && !path.empty() && IsFile(path);
    if (all || ::GetTickCount64() >= deadline)
      return;
    ::Sleep(20);
  }
}

std::wstring DefaultReportPath() {
  wchar_t exe[MAX_PATH];
  DWORD len = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring path(exe, len);
  return path.substr(0, path.find_last_of(L'\\') + 1) +
         L"fake_setup_report.json";
}

// Milliseconds since 1970 (UTC), comparable with the time of Linux tools.
int64_t UnixTimeMs() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  const uint64_t units =
      (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  return static_cast<int64_t>(units / 10000) - 11644473600000;
}

// The stand-in browser: the message window the installer waits for, kept
// for `life_ms` while messages are dispatched.
int RunStandInBrowser(DWORD life_ms) {
  WNDCLASSEXW window_class = {sizeof(window_class)};
  window_class.lpfnWndProc = ::DefWindowProcW;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"NorvelBrowser_MessageWindow";
  if (!::RegisterClassExW(&window_class))
    return 3;
  HWND window = ::CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0,
                                  HWND_MESSAGE, nullptr, window_class.hInstance, nullptr);
  if (!window)
    return 4;
  const ULONGLONG deadline = ::GetTickCount64() + life_ms;
  for (ULONGLONG now = ::GetTickCount64(); now < deadline; now = ::GetTickCount64()) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                QS_ALLINPUT);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      ::DispatchMessageW(&msg);
  }
  ::DestroyWindow(window);
  return 0;
}

// Starts the stand-in browser from a copy of this program (the archive this
// program runs from is the installer's to delete) and waits, bounded,
// until its window exists. Returns its process id, 0 on failure.
DWORD StartStandInBrowser(DWORD life_ms) {
  wchar_t exe[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  wchar_t temp[MAX_PATH];
  if (!length || !::GetTempPathW(MAX_PATH, temp))
    return 0;
  const std::wstring copy = std::wstring(temp) + L"fake_browser_" +
                            std::to_wstring(::GetCurrentProcessId()) + L".exe";
  if (!::CopyFileW(exe, copy.c_str(), FALSE))
    return 0;
  std::wstring command = L"\"" + copy + L"\" --fake-browser-ms=" + std::to_wstring(life_ms);
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
    return 0;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  const ULONGLONG deadline = ::GetTickCount64() + 10000;
  while (!::FindWindowExW(HWND_MESSAGE, nullptr, L"NorvelBrowser_MessageWindow", nullptr) &&
         ::GetTickCount64() < deadline) {
    ::Sleep(20);
  }
  return process.dwProcessId;
}

// The string and DWORD values of the product key, by name.
base::Json ProductKeyValues() {
  base::Json values = base::Json::object();
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Norvel\\NorvelBrowser", 0,
                      KEY_READ, &key) != ERROR_SUCCESS) {
    return values;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD name_length = 16384;
    DWORD type = 0;
    DWORD size = 0;
    if (::RegEnumValueW(key, index, name, &name_length, nullptr, &type,
                        nullptr, &size) != ERROR_SUCCESS) {
      break;
    }
    std::vector<BYTE> data(size + sizeof(wchar_t));
    name_length = 16384;
    if (::RegEnumValueW(key, index, name, &name_length, nullptr, &type,
                        data.data(), &size) != ERROR_SUCCESS) {
      continue;
    }
    const std::string utf8_name = base::WideToUTF8(std::wstring(name, name_length));
    if (type == REG_SZ) {
      std::wstring text(reinterpret_cast<const wchar_t*>(data.data()),
                        size / sizeof(wchar_t));
      while (!text.empty() && text.back() == L'\0')
        text.pop_back();
      values[utf8_name] = base::WideToUTF8(text);
    } else if (type == REG_DWORD && size == sizeof(DWORD)) {
      values[utf8_name] = static_cast<int64_t>(
          *reinterpret_cast<const DWORD*>(data.data()));
    }
  }
  ::RegCloseKey(key);
  return values;
}

}  // namespace

int wmain() {
  const int64_t started_ms = UnixTimeMs();
  const wchar_t* raw = ::GetCommandLineW();
  const base::CommandLine line = base::CommandLine::FromString(raw);
  if (line.HasSwitch("fake-browser-ms"))
    return RunStandInBrowser(NumberSwitch(line, "fake-browser-ms", 0));
  WaitForFiles(line);

  base::Json report = base::Json::object();
  report["raw_command_line"] = base::WideToUTF8(raw);
  report["command_line"] = base::WideToUTF8(line.GetCommandLineString());
  report["program"] = base::WideToUTF8(line.GetProgram());
  report["process_id"] = static_cast<int64_t>(::GetCurrentProcessId());
  report["parent_process_id"] = static_cast<int64_t>(ParentProcessId());
  report["started_ms"] = started_ms;
  base::Json switches = base::Json::object();
  base::Json files = base::Json::object();
  std::vector<std::string> order;
  for (const auto& [name, value] : line.switches()) {
    switches[name] = base::WideToUTF8(value);
    order.push_back(name);
    if (IsAbsolutePath(value) && name != "fake-setup-report")
      files[name] = DescribeFile(value);
  }
  report["switches"] = std::move(switches);
  report["switch_order"] = order;
  report["files"] = std::move(files);
  report["program_size"] = FileSize(line.GetProgram());
  report["product_key"] = ProductKeyValues();

  ::Sleep(NumberSwitch(line, "fake-setup-sleep-ms", 0));
  if (line.HasSwitch("fake-setup-browser-ms")) {
    report["browser_process_id"] = static_cast<int64_t>(
        StartStandInBrowser(NumberSwitch(line, "fake-setup-browser-ms", 0)));
  }

  std::wstring report_path = line.GetSwitchValue("fake-setup-report");
  if (report_path.empty())
    report_path = DefaultReportPath();
  const std::string text = base::WriteJsonPretty(report);
  HANDLE file = ::CreateFileW(report_path.c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written,
                nullptr);
    ::CloseHandle(file);
  }
  const std::wstring release = line.GetSwitchValue("fake-setup-hold-until");
  if (!release.empty())
    WaitForFile(release, NumberSwitch(line, "fake-setup-wait-ms", 30000));

  const std::string code = line.GetSwitchValueNarrow("fake-setup-exit-code");
  return code.empty()
             ? 0
             : static_cast<int>(std::strtol(code.c_str(), nullptr, 10));
}
