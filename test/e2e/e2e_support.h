#ifndef TEST_E2E_E2E_SUPPORT_H_
#define TEST_E2E_E2E_SUPPORT_H_

#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

// Running the real installer executables that sit beside the test binary.
namespace e2e {

inline constexpr DWORD kRunTimeoutMs = 120000;

// Starts `exe` (a path relative to the test binary's folder) with
// `switches`, its temporary directory (and so its log) in `temp_dir`.
test::ChildProcess StartInstaller(const std::wstring& exe,
                                  const std::wstring& switches,
                                  const std::wstring& temp_dir);

// Runs it to the end and returns its full exit code (0xDEAD on time-out,
// which fails the test).
DWORD RunInstaller(const std::wstring& exe,
                   const std::wstring& switches,
                   const std::wstring& temp_dir);

// Runs it until its log holds `text`, then ends it: for checks of start-up
// that need not wait for a download. False when the text never appeared.
bool RunInstallerUntil(const std::wstring& exe,
                       const std::wstring& switches,
                       const std::wstring& temp_dir,
                       const std::string& text);

// A test whose runs have their temporary directory, and so their log, in
// dir_.
class InstallerRunTest : public testing::Test {
 protected:
  // Start-up only: the run ends where the installation would begin.
  bool RunStartUp(const std::wstring& exe, const std::wstring& switches) {
    return RunInstallerUntil(exe, switches, dir_.path(),
                             "INFO: Install Browser.");
  }
  std::string Log() const { return log_.Read(); }

  test::ScopedTempDir dir_;
  test::TestLog log_{dir_.path()};
};

}  // namespace e2e

#endif  // TEST_E2E_E2E_SUPPORT_H_
