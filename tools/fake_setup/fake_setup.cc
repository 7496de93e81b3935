// Stands in for the browser's setup program in tests and in the demo. It
// writes what it was given into a JSON report and exits with a chosen code:
//   --fake-setup-report=PATH     where the report goes (else beside the exe)
//   --fake-setup-exit-code=N     the exit code (else 0)
// Every switch the installer passes is recorded; a switch whose value names
// an existing file is recorded with that file's size.

#include <windows.h>

#include <cstdlib>
#include <string>

#include "base/command_line.h"
#include "base/json.h"
#include "base/strings.h"

namespace {

// The size of the file `path` names, or -1 when it is not a readable file.
int64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() ||
      !::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return -1;
  }
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring DefaultReportPath() {
  wchar_t exe[MAX_PATH];
  DWORD len = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring path(exe, len);
  return path.substr(0, path.find_last_of(L'\\') + 1) +
         L"fake_setup_report.json";
}

}  // namespace

int wmain() {
  const wchar_t* raw = ::GetCommandLineW();
  const base::CommandLine line = base::CommandLine::FromString(raw);

  base::Json report = base::Json::object();
  report["raw_command_line"] = base::WideToUTF8(raw);
  report["command_line"] = base::WideToUTF8(line.GetCommandLineString());
  report["program"] = base::WideToUTF8(line.GetProgram());
  report["process_id"] = static_cast<int64_t>(::GetCurrentProcessId());
  base::Json switches = base::Json::object();
  base::Json files = base::Json::object();
  std::vector<std::string> order;
  for (const auto& [name, value] : line.switches()) {
    switches[name] = base::WideToUTF8(value);
    order.push_back(name);
    const int64_t size = FileSize(value);
    if (size >= 0)
      files[name] = {{"path", base::WideToUTF8(value)}, {"size", size}};
  }
  report["switches"] = std::move(switches);
  report["switch_order"] = order;
  report["files"] = std::move(files);
  report["program_size"] = FileSize(line.GetProgram());

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

  const std::string code = line.GetSwitchValueNarrow("fake-setup-exit-code");
  return code.empty()
             ? 0
             : static_cast<int>(std::strtol(code.c_str(), nullptr, 10));
}
