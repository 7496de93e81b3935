// Stands in for the browser's setup program in tests and in the demo. It
// writes what it was given into a JSON report and exits with a chosen code:
//   --fake-setup-report=PATH     where the report goes (else beside the exe)
//   --fake-setup-exit-code=N     the exit code (else 0)
//   --fake-setup-wait-for=A,B    first waits until the files that switches A
//                                and B name exist (at most
//   --fake-setup-wait-ms=N       N ms, else 30000)
//   --fake-setup-sleep-ms=N      then runs for N ms more before it exits
//   --fake-setup-browser-ms=N    and starts a stand-in browser that owns a
//                                message-only "NorvelBrowser_MessageWindow"
//                                for N ms (a copy of this program in the
//                                temporary folder, run with
//                                --fake-browser-ms=N)
//   --fake-setup-script=STEPS    before that, reports to the window that
//                                "progress-window" names, step by step
//                                (comma-separated, in order):
//       install:N    posts set_install_progress with stage N
//       import:N     posts set_import_progress with N
//       progress:N   posts the window's own progress message (WM_APP + 100)
//       remaining:N  posts the remaining-time estimate (WM_APP + 101)
//       close        posts close_window
//       browser_exists  sends corp.user_browser_exists and waits for the
//                    answer (the user's choice in the notice)
//       pause:N      sleeps N ms
//   --fake-setup-settle-ms=N     after each message, waits N ms (else 500),
//                                then reads what the window shows
//   --fake-setup-step-dir=DIR    and writes that step's record to
//                                DIR\step-<index>.json, then waits (at most
//                                30000 ms) until it is deleted, so that a
//                                test can look at the window meanwhile
// The report's "steps" hold, per step: "step", "ms" (since setup started),
// "result" (the answer to a sent message; 1 or 0 for whether a post went
// out), and after a message other than close, "position" (PBM_GETPOS of
// the progress bar 215, -1 without one), "status" (the text of 224) and
// "visible".
// "started_ms" is when it started, in milliseconds since 1970 (UTC).
// Every switch the installer passes is recorded. Files are recorded as setup
// finds them while it runs (the installer may delete some when it exits):
// for every switch whose value is an absolute path, "files" holds whether the
// file exists, its size, SHA-256 and, for a small file of UTF-8 text, the
// text itself. "product_key" holds the string and DWORD values under the
// browser's product key (HKEY_CURRENT_USER\Software\Norvel\NorvelBrowser)
// as setup finds them. The program carries a version resource (9.8.7.6).

#include <windows.h>
#include <commctrl.h>

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

// The window's answer to `message`, bounded; `fallback` when it gave none.
LRESULT SendBounded(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                    UINT timeout_ms, LRESULT fallback) {
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, timeout_ms,
                             &answer)) {
    return fallback;
  }
  return static_cast<LRESULT>(answer);
}

// Writes `text` to `path` (replacing it); false when it could not.
bool WriteWholeFile(const std::wstring& path, const std::string& text) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written,
                              nullptr) &&
                  written == text.size();
  ::CloseHandle(file);
  return ok;
}

// What the window shows after a step: the progress bar's position, the
// status line and whether the window is visible.
void ReadWindow(HWND window, base::Json* record) {
  HWND bar = ::GetDlgItem(window, 215);
  (*record)["position"] = static_cast<int64_t>(
      bar ? SendBounded(bar, PBM_GETPOS, 0, 0, 5000, -1) : -1);
  wchar_t text[256] = {};
  if (HWND status = ::GetDlgItem(window, 224))
    SendBounded(status, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), 5000, 0);
  (*record)["status"] = base::WideToUTF8(text);
  (*record)["visible"] = ::IsWindowVisible(window) != FALSE;
}

// Runs the script of --fake-setup-script against the installer's window;
// one record per step.
base::Json RunScript(const base::CommandLine& line, int64_t started_ms) {
  base::Json steps = base::Json::array();
  const std::string script = line.GetSwitchValueNarrow("fake-setup-script");
  HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(
      std::strtoull(line.GetSwitchValueNarrow("progress-window").c_str(), nullptr, 10)));
  const DWORD settle_ms = NumberSwitch(line, "fake-setup-settle-ms", 500);
  const std::wstring step_dir = line.GetSwitchValue("fake-setup-step-dir");
  struct Posted {
    const char* name;
    UINT message;
  };
  const Posted posted[] = {
      {"install", ::RegisterWindowMessageW(L"norvel.lite.set_install_progress")},
      {"import", ::RegisterWindowMessageW(L"norvel.lite.set_import_progress")},
      {"close", ::RegisterWindowMessageW(L"norvel.lite.close_window")},
      {"progress", WM_APP + 100},
      {"remaining", WM_APP + 101},
  };
  const UINT browser_exists = ::RegisterWindowMessageW(L"norvel.corp.user_browser_exists");
  size_t start = 0;
  while (start < script.size()) {
    size_t end = script.find(',', start);
    if (end == std::string::npos)
      end = script.size();
    const std::string step = script.substr(start, end - start);
    start = end + 1;
    const size_t colon = step.find(':');
    const std::string verb = step.substr(0, colon);
    const WPARAM value = colon == std::string::npos
                             ? 0
                             : static_cast<WPARAM>(
                                   std::strtoull(step.c_str() + colon + 1, nullptr, 10));
    base::Json record = {{"step", step}, {"ms", UnixTimeMs() - started_ms}};
    if (verb == "pause") {
      ::Sleep(static_cast<DWORD>(value));
      steps.push_back(std::move(record));
      continue;
    }
    if (verb == "browser_exists") {
      record["result"] = static_cast<int64_t>(
          SendBounded(window, browser_exists, 0, 0, 120000, -1));
    } else {
      const Posted* match = nullptr;
      for (const Posted& candidate : posted)
        match = verb == candidate.name ? &candidate : match;
      if (!match) {
        record["result"] = "unknown step";
        steps.push_back(std::move(record));
        continue;
      }
      record["result"] = ::PostMessageW(window, match->message, value, 0) ? 1 : 0;
    }
    // After close_window the installer waits for this program to end: its
    // window is not read any more.
    if (verb != "close") {
      ::Sleep(settle_ms);
      ReadWindow(window, &record);
    }
    if (!step_dir.empty()) {
      const std::wstring path =
          step_dir + L"\\step-" + std::to_wstring(steps.size()) + L".json";
      if (WriteWholeFile(path, base::WriteJsonPretty(record))) {
        const ULONGLONG deadline = ::GetTickCount64() + 30000;
        while (IsFile(path) && ::GetTickCount64() < deadline)
          ::Sleep(20);
      }
    }
    steps.push_back(std::move(record));
  }
  return steps;
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
  if (line.HasSwitch("fake-setup-script"))
    report["steps"] = RunScript(line, started_ms);

  ::Sleep(NumberSwitch(line, "fake-setup-sleep-ms", 0));
  if (line.HasSwitch("fake-setup-browser-ms")) {
    report["browser_process_id"] = static_cast<int64_t>(
        StartStandInBrowser(NumberSwitch(line, "fake-setup-browser-ms", 0)));
  }

  std::wstring report_path = line.GetSwitchValue("fake-setup-report");
  if (report_path.empty())
    report_path = DefaultReportPath();
  WriteWholeFile(report_path, base::WriteJsonPretty(report));

  const std::string code = line.GetSwitchValueNarrow("fake-setup-exit-code");
  return code.empty()
             ? 0
             : static_cast<int>(std::strtol(code.c_str(), nullptr, 10));
}
