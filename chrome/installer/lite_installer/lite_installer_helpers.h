#ifndef CHROME_INSTALLER_LITE_INSTALLER_LITE_INSTALLER_HELPERS_H_
#define CHROME_INSTALLER_LITE_INSTALLER_LITE_INSTALLER_HELPERS_H_

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

class BrandPackageInfo;
class DistribInfoParams;

namespace base {
class CommandLine;
}

// Small questions that the window, the dialogs and start-up ask of the
// distribution parameters, the brand, the registry and the command line.
// Stateless; failures give the negative answer without a log line, except
// reading a file's contents.
namespace lite_installer {

// When "def" is "1" or "2": true, with the fixed make-default choice.
bool GetMakeDefaultOverride(const DistribInfoParams& params,
                            bool* make_default);
// When "stat" is "1"/"2", or else "statpromo" is present ("true" sends):
// true, with the fixed statistics choice.
bool GetStatisticsOverride(const DistribInfoParams& params, bool* send);
// The welcome screen is skipped only when asked for and every choice it
// offers is fixed by the parameters.
bool IsWelcomeScreenSkipped(const BrandPackageInfo* brand,
                            const DistribInfoParams& params);
bool IsDarkThemeWanted(const BrandPackageInfo* brand,
                       const DistribInfoParams* params);
bool IsDefaultBrowserUiInSetup(const BrandPackageInfo* brand,
                               const DistribInfoParams* params);
bool IsUts2Enabled(const DistribInfoParams& params);
// 0: ask for elevation when Install is pressed; 1: when the window opens;
// 2: at the browser's first start.
int GetElevationMode(const BrandPackageInfo* brand,
                     const DistribInfoParams& params,
                     const base::CommandLine& command_line);
// The installer was downloaded from the failure page.
bool IsFromFailurePage(const DistribInfoParams& params);

// The installed browser's application directory at user or system level,
// empty when there is none.
std::wstring FindExistingBrowserInstall(bool system_level);
bool IsInstallationCorporate();
bool HasNonCorporateInstall();
bool IsSystemInstallCorporate();
// The system-level installation, else where one would go.
std::wstring GetInstalledApplicationDir();

// Brings the first unowned top-level window of `process_id` to the
// foreground.
void BringProcessWindowToTop(DWORD process_id);

// Creates or truncates `path` with `bytes`; false when any step failed.
bool WriteFileContents(const std::wstring& path, const std::string& bytes);
// The whole file, when it can be read and holds at most `max_bytes`; no
// value otherwise (each failure logged, a file above the limit among them).
// base::ReadFileContents without the log.
std::optional<std::string> ReadFileContents(const std::wstring& path,
                                            uint64_t max_bytes);
// A new empty file "nb<hex>.tmp" in `directory`; empty on failure.
std::wstring CreateTempFileIn(const std::wstring& directory);

// True for "24.7.1.1076": dot-separated decimal components that fit in 32
// bits, the first without a leading zero. Pure.
bool IsValidDottedVersion(const std::string& text);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_LITE_INSTALLER_HELPERS_H_
