#include "chrome/installer/norvel/util/win10_default_browser.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "base/command_line.h"
#include "base/scoped_handle.h"
#include "base/system_facts.h"
#include "base/windows_version.h"
#include "logging/file_logger.h"

namespace installer::win10_default_browser {
namespace {

constexpr DWORD kFirstSafeBuild = 17704;
constexpr DWORD kBuildSafeFromRevision = 17134;
constexpr DWORD kLastUnsafeRevisionOfThatBuild = 318;

// The update build revision, when the system records one.
std::optional<DWORD> ReadUpdateBuildRevision() {
  base::ScopedHKEY key;
  // The 64-bit view on 64-bit Windows: the revision is kept there.
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      key.Receive()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  DWORD value = 0;
  DWORD type = 0;
  DWORD size = sizeof(value);
  if (::RegQueryValueExW(key.get(), L"UBR", nullptr, &type,
                         reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(value)) {
    return std::nullopt;
  }
  return value;
}

// This program's own file. The command line's first token is not used: it
// may be relative, lack ".exe", or name another program altogether.
std::wstring CurrentProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(),
                                              static_cast<DWORD>(path.size()));
    if (length == 0)
      return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 4);  // truncated: a long path
  }
  return std::wstring();
}

bool IsInternalInterfaceAvailableSafeCheck() {
  if (IsKnownSafeWindowsBuild())
    return true;

  const std::wstring program = CurrentProgramPath();
  if (program.empty() ||
      ::GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
    PLOG(ERROR) << "Failed to check Win10 internal interface availability: "
                << "can't get installer exe path.";
    return false;
  }

  base::CommandLine command_line(program);
  command_line.AppendSwitch(kCheckTheInterfaceSwitch);
  std::wstring command_line_text = command_line.GetCommandLineString();
  STARTUPINFOW startup_info = {sizeof(startup_info)};
  PROCESS_INFORMATION process_info = {};
  if (!::CreateProcessW(nullptr, command_line_text.data(), nullptr, nullptr,
                        FALSE, 0, nullptr, nullptr, &startup_info,
                        &process_info)) {
    PLOG(ERROR) << "Failed to check Win10 internal interface availability: "
                << "can't run installer: " << command_line_text;
    return false;
  }
  base::ScopedKernelHandle process(process_info.hProcess);
  base::ScopedKernelHandle thread(process_info.hThread);

  if (::WaitForSingleObject(process.get(), kCheckTimeoutMs) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.get(), kCheckExitTerminated);
    PLOG(ERROR) << "Failed to check Win10 internal interface availability, "
                << " installer was terminated by timeout.";
    return false;
  }
  DWORD exit_code = 0;
  if (!::GetExitCodeProcess(process.get(), &exit_code)) {
    PLOG(ERROR) << "Failed to check Win10 internal interface availability, "
                   "can't read the exit code of: "
                << command_line_text;
    return false;
  }
  const int32_t code = static_cast<int32_t>(exit_code);
  if (code < 0) {
    PLOG(ERROR) << "Failed to check Win10 internal interface availability,"
                << " ret code: " << code << ", installer crashed";
    return false;
  }
  if (code == kCheckExitInterfaceUsable ||
      code == kCheckExitInterfaceNotUsable) {
    LOG(INFO) << "Successfuly checked Win10 internal interface availability: "
              << "availability: " << (code == kCheckExitInterfaceUsable);
    return code == kCheckExitInterfaceUsable;
  }
  PLOG(ERROR)
      << "Failed to check Win10 internal interface availability, unknown ret "
         "code: "
      << code;
  return false;
}

}  // namespace

bool IsKnownSafeWindowsBuild() {
  const auto version = base::SystemFacts::Current().GetWindowsVersion();
  if (!version)
    return false;
  if (version->build >= kFirstSafeBuild)
    return true;
  if (version->build != kBuildSafeFromRevision)
    return false;
  const std::optional<DWORD> revision = ReadUpdateBuildRevision();
  return revision && *revision > kLastUnsafeRevisionOfThatBuild;
}

bool CanSetDefaultBrowser() {
  const int version_class = base::GetWindowsVersionClass();
  if (version_class < base::kWin8)
    return true;
  if (IsKnownSafeWindowsBuild())
    return true;
  if (version_class > base::kWin8_1)
    return IsInternalInterfaceAvailableSafeCheck();
  return false;
}

}  // namespace installer::win10_default_browser
