#ifndef TEST_E2E_E2E_SUPPORT_H_
#define TEST_E2E_E2E_SUPPORT_H_

#include <windows.h>

#include <string>

#include "test/support/test_support.h"

// Running the real installer executables that sit beside the test binary.
namespace e2e {

inline constexpr DWORD kRunTimeoutMs = 120000;

// Starts `exe` (a path relative to the test binary's folder) with
// `switches`, its temporary directory (and so its log) in `temp_dir`.
test::ChildProcess StartInstaller(const std::wstring& exe,
                                  const std::wstring& switches,
                                  const std::wstring& temp_dir);

// Runs it to the end and returns its full exit code (0xDEAD on time-out).
DWORD RunInstaller(const std::wstring& exe,
                   const std::wstring& switches,
                   const std::wstring& temp_dir);

// Runs it until its log holds `text`, then ends it: for checks of start-up
// that need not wait for a download. False when the text never appeared.
bool RunInstallerUntil(const std::wstring& exe,
                       const std::wstring& switches,
                       const std::wstring& temp_dir,
                       const std::string& text);

// The log of runs with `temp_dir`.
std::string ReadLog(const std::wstring& temp_dir);

}  // namespace e2e

#endif  // TEST_E2E_E2E_SUPPORT_H_
