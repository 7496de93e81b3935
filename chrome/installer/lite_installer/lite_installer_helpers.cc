#include "chrome/installer/lite_installer/lite_installer_helpers.h"

#include <shlobj.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "base/command_line.h"
#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "base/strings.h"
#include "brand/brand_package_info.h"
#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/switches.h"
#include "chrome/installer/norvel/util/product_key.h"
#include "chrome/installer/norvel/util/version_number.h"
#include "logging/file_logger.h"

namespace lite_installer {
namespace {

bool ParamEquals(const DistribInfoParams* params,
                 const std::string& key,
                 const char* expected) {
  std::string value;
  return params && params->Get(key, &value) && value == expected;
}

// Reads a REG_SZ value; false when missing or of another type.
bool ReadStringValue(HKEY key, const wchar_t* name, std::wstring* value) {
  DWORD type = 0;
  DWORD bytes = 0;
  if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
  if (::RegQueryValueExW(key, name, nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()),
                         &bytes) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  buffer[bytes / sizeof(wchar_t)] = L'\0';
  *value = buffer.data();
  return true;
}

std::vector<std::wstring> SplitPath(const std::wstring& path) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t sep = path.find_first_of(L"\\/", start);
    if (sep == std::wstring::npos)
      sep = path.size();
    parts.push_back(path.substr(start, sep - start));
    start = sep + 1;
  }
  return parts;
}

bool IsAbsolutePath(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' &&
      (path[2] == L'\\' || path[2] == L'/')) {
    return true;
  }
  return path.starts_with(L"\\\\");
}

bool IsDirectory(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The directory `levels` components up from `path`, or empty.
std::wstring RemoveComponents(const std::wstring& path, int levels) {
  std::wstring result = path;
  for (int i = 0; i < levels; ++i) {
    size_t sep = result.find_last_of(L"\\/");
    if (sep == std::wstring::npos)
      return std::wstring();
    result.resize(sep);
  }
  return result;
}

// A root ("C:", "\\server\share") is its own parent.
bool IsRoot(const std::wstring& dir) {
  if (dir.size() <= 3 && dir.size() >= 2 && dir[1] == L':')
    return true;
  if (dir.starts_with(L"\\\\")) {
    // \\server\share has three separators' worth of components.
    return SplitPath(dir.substr(2)).size() <= 2;
  }
  return dir.empty();
}

}  // namespace

bool GetMakeDefaultOverride(const DistribInfoParams& params,
                            bool* make_default) {
  bool on = false;
  const bool valid = params.GetFlag("def", &on);
  if (make_default)
    *make_default = on;
  return valid;
}

bool GetStatisticsOverride(const DistribInfoParams& params, bool* send) {
  bool on = false;
  if (params.GetFlag("stat", &on)) {
    if (send)
      *send = on;
    return true;
  }
  std::string promo;
  if (params.Get("statpromo", &promo)) {
    if (send)
      *send = promo == "true";
    return true;
  }
  if (send)
    *send = false;
  return false;
}

bool IsWelcomeScreenSkipped(const BrandPackageInfo* brand,
                            const DistribInfoParams& params) {
  bool asked;
  if (brand && brand->new_identity_first_screen_off_)
    asked = true;
  else
    asked = ParamEquals(&params, "first", "1");
  return asked && GetMakeDefaultOverride(params, nullptr) &&
         GetStatisticsOverride(params, nullptr);
}

bool IsDarkThemeWanted(const BrandPackageInfo* brand,
                       const DistribInfoParams* params) {
  if (!brand || !brand->dark_theme_enabled_)
    return false;
  std::string value;
  if (params && params->Get("darktheme", &value))
    return value == "1";
  base::ScopedHKEY key;
  if (::RegOpenKeyExW(
          HKEY_CURRENT_USER,
          L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
          0, KEY_QUERY_VALUE | KEY_WOW64_32KEY,
          key.Receive()) != ERROR_SUCCESS) {
    return false;
  }
  DWORD light = 1;
  DWORD type = 0;
  DWORD bytes = sizeof(light);
  if (::RegQueryValueExW(key.get(), L"AppsUseLightTheme", nullptr, &type,
                         reinterpret_cast<BYTE*>(&light),
                         &bytes) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    return false;
  }
  return light == 0;
}

bool IsDefaultBrowserUiInSetup(const BrandPackageInfo* brand,
                               const DistribInfoParams* params) {
  if (brand && brand->default_browser_ui_in_setup_)
    return true;
  return ParamEquals(params, "defbruiinsp", "1");
}

bool IsUts2Enabled(const DistribInfoParams& params) {
  return ParamEquals(&params, "uts2", "1");
}

int GetElevationMode(const BrandPackageInfo* brand,
                     const DistribInfoParams& params,
                     const base::CommandLine& command_line) {
  if (command_line.HasSwitch(switches::kSystemLevel) ||
      command_line.HasSwitch(switches::kProgramFilesInstallation)) {
    return 0;
  }
  std::string value;
  if (!params.Get("uac", &value))
    return 0;
  // strtol rules: leading blanks and a sign allowed, trailing text ignored.
  // A value without digits or out of 32-bit range has no mode of its own;
  // 0 (ask when Install is pressed) is the safe answer for it.
  const char* begin = value.c_str();
  char* end = nullptr;
  errno = 0;
  long number = std::strtol(begin, &end, 10);
  if (end == begin || errno == ERANGE || number < INT32_MIN ||
      number > INT32_MAX) {
    return 0;
  }
  switch (number) {
    case 0:
      return IsWelcomeScreenSkipped(brand, params) ? 1 : 0;
    case 1:
    case 2:
      return static_cast<int>(number);
    default:
      return 0;
  }
}

bool IsFromFailurePage(const DistribInfoParams& params) {
  return ParamEquals(&params, "code", "lite_install_failed");
}

bool IsValidDottedVersion(const std::string& text) {
  // The first component may not start with a zero ("0" alone is fine).
  if (text.size() > 1 && text[0] == '0' && text[1] != '.')
    return false;
  return installer::ParseVersionNumber(text).has_value();
}

std::wstring FindExistingBrowserInstall(bool system_level) {
  base::ScopedHKEY key;
  if (::RegOpenKeyExW(system_level ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                      installer::GetProductKey(), 0,
                      KEY_QUERY_VALUE | KEY_WOW64_32KEY,
                      key.Receive()) != ERROR_SUCCESS) {
    return std::wstring();
  }
  std::wstring version;
  if (!ReadStringValue(key.get(), L"npv", &version) || version.empty())
    ReadStringValue(key.get(), L"pv", &version);
  if (version.empty() || !IsValidDottedVersion(base::WideToUTF8(version)))
    return std::wstring();

  std::wstring uninstall;
  if (!ReadStringValue(key.get(), L"UninstallString", &uninstall) ||
      uninstall.empty() || !IsAbsolutePath(uninstall)) {
    return std::wstring();
  }
  for (const std::wstring& part : SplitPath(uninstall)) {
    if (part == L"..")
      return std::wstring();
  }
  // setup.exe lies in <application dir>\<version>\Installer.
  std::wstring dir = RemoveComponents(uninstall, 3);
  if (dir.empty() || IsRoot(dir) || !IsDirectory(dir))
    return std::wstring();
  return dir;
}

bool IsInstallationCorporate() {
  base::ScopedHKEY key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, installer::GetProductKey(), 0,
                      KEY_READ | KEY_WOW64_32KEY,
                      key.Receive()) != ERROR_SUCCESS) {
    return false;
  }
  std::wstring value;
  return ReadStringValue(key.get(), L"corporate", &value) && value == L"true";
}

bool HasNonCorporateInstall() {
  if (!FindExistingBrowserInstall(false).empty())
    return !IsInstallationCorporate();
  if (!FindExistingBrowserInstall(true).empty())
    return !IsInstallationCorporate();
  return false;
}

bool IsSystemInstallCorporate() {
  return !FindExistingBrowserInstall(true).empty() && IsInstallationCorporate();
}

std::wstring GetInstalledApplicationDir() {
  std::wstring dir = FindExistingBrowserInstall(true);
  if (!dir.empty())
    return dir;
  wchar_t buffer[MAX_PATH];
  std::wstring program_files;
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr,
                                   SHGFP_TYPE_CURRENT, buffer))) {
    program_files = buffer;
  }
  if (program_files.empty() || !IsDirectory(program_files)) {
    DWORD len = ::GetEnvironmentVariableW(L"ProgramFiles", buffer, MAX_PATH);
    program_files =
        len > 0 && len < MAX_PATH ? std::wstring(buffer, len) : std::wstring();
  }
  if (!program_files.empty() && program_files.back() != L'\\')
    program_files.push_back(L'\\');
  return program_files + installer::GetBrowserInstallationFolder() +
         L"\\Application";
}

namespace {

struct RaiseContext {
  DWORD process_id;
};

void ForceForeground(HWND window) {
  // Windows refuses foreground changes from background processes; a zero
  // lock time-out lets this one through, and is restored right after.
  DWORD timeout = 0;
  ::SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
  ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr,
                          SPIF_SENDCHANGE);
  ::BringWindowToTop(window);
  ::SetForegroundWindow(window);
  ::SystemParametersInfoW(
      SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
      reinterpret_cast<void*>(static_cast<uintptr_t>(timeout)),
      SPIF_SENDCHANGE);
}

BOOL CALLBACK RaiseWindowOfProcess(HWND window, LPARAM param) {
  const auto* context = reinterpret_cast<const RaiseContext*>(param);
  DWORD owner = 0;
  const DWORD window_thread = ::GetWindowThreadProcessId(window, &owner);
  // Owned windows (the installation window's drop shadow) are passed
  // over: activating one would take the keyboard from the window itself.
  if (owner != context->process_id || ::GetWindow(window, GW_OWNER))
    return TRUE;
  HWND foreground = ::GetForegroundWindow();
  const DWORD foreground_thread =
      foreground ? ::GetWindowThreadProcessId(foreground, nullptr) : 0;
  if (foreground_thread &&
      ::AttachThreadInput(window_thread, foreground_thread, TRUE)) {
    ::BringWindowToTop(window);
    ::SetForegroundWindow(window);
    ::AttachThreadInput(window_thread, foreground_thread, FALSE);
    if (::GetForegroundWindow() == window)
      return FALSE;
  }
  ForceForeground(window);
  return FALSE;
}

}  // namespace

void BringProcessWindowToTop(DWORD process_id) {
  if (process_id == 0) {
    PLOG(ERROR) << "Failed to bring process window to top: wrong process id";
    return;
  }
  RaiseContext context = {process_id};
  ::EnumWindows(RaiseWindowOfProcess, reinterpret_cast<LPARAM>(&context));
}

bool WriteFileContents(const std::wstring& path, const std::string& bytes) {
  return base::WriteFileContents(path, bytes) == ERROR_SUCCESS;
}

std::optional<std::string> ReadFileContents(const std::wstring& path,
                                            uint64_t max_bytes) {
  base::FileReadResult result = base::ReadFileContents(path, max_bytes);
  switch (result.failed_step) {
    case base::FileReadStep::kNone:
      return std::move(result.bytes);
    case base::FileReadStep::kOpen:
      PLOG_CODE(ERROR, result.error) << "Cannot open " << path;
      break;
    case base::FileReadStep::kSize:
      PLOG_CODE(ERROR, result.error) << "Cannot read the size of " << path;
      break;
    case base::FileReadStep::kTooLarge:
      LOG(ERROR) << "File too large to read: " << path << " holds "
                 << result.size << " bytes, at most "
                 << std::min<uint64_t>(max_bytes, MAXDWORD) << " allowed";
      break;
    case base::FileReadStep::kRead:
      PLOG_CODE(ERROR, result.error) << "Cannot read " << path;
      break;
  }
  return std::nullopt;
}

std::wstring CreateTempFileIn(const std::wstring& directory) {
  if (directory.empty())
    return std::wstring();
  wchar_t path[MAX_PATH];
  if (!::GetTempFileNameW(directory.c_str(), L"nb", 0, path))
    return std::wstring();
  return path;
}

}  // namespace lite_installer
