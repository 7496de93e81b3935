#ifndef TEST_E2E_E2E_SUPPORT_H_
#define TEST_E2E_E2E_SUPPORT_H_

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/json.h"
#include "gtest/gtest.h"
#include "test/support/fake_services.h"
#include "test/support/installer_window_driver.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

// Running the real installer executables that sit beside the test binary.
namespace e2e {

inline constexpr DWORD kRunTimeoutMs = 120000;

// Starts `exe` (a path relative to the test binary's folder, or a full
// one) with `switches`, its temporary directory (and so its log) in
// `temp_dir`, and the environment variables `env` besides. The user is
// outside the Administrators group (LITE_TEST_ADMIN_GROUP=0), so that no
// elevated copy runs, unless `env` gives that variable another value.
test::ChildProcess StartInstaller(
    const std::wstring& exe,
    const std::wstring& switches,
    const std::wstring& temp_dir,
    const std::map<std::wstring, std::wstring>& env = {});

// Runs it to the end and returns its full exit code (0xDEAD on time-out,
// which fails the test).
DWORD RunInstaller(const std::wstring& exe,
                   const std::wstring& switches,
                   const std::wstring& temp_dir,
                   const std::map<std::wstring, std::wstring>& env = {});

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

// Runs of lite_installer_local.exe against loopback services of the suite's
// own, on the port that program was built for. The fake setup writes its
// report (what it was given, and the files as it found them) to Report().
class LocalInstallTest : public InstallerRunTest {
 protected:
  static constexpr char kArchivePath[] = "/browser/local/browser-setup.arc";
  static constexpr char kReportPath[] = "/get/browser/install";

  static void SetUpTestSuite();
  static void TearDownTestSuite();
  // Fresh rules and records; the report service answers 200.
  void SetUp() override;

  // Serves the program `file` beside the test binary as the archive, with
  // extra behaviour keys (a JSON fragment such as "\"trickle\": 1000").
  void ServeArchive(const std::wstring& file, const std::string& extra = "");
  DWORD Run(const std::wstring& switches,
            const std::map<std::wstring, std::wstring>& env = {},
            const std::wstring& exe = L"lite_installer_local.exe");
  std::wstring Report() const { return dir_.Append(L"setup_report.json"); }
  std::optional<base::Json> SetupReport() const;
  // An archive file ("nb*.tmp") left in the temporary directory.
  bool ArchiveLeftBehind() const;
  // The requests whose path (with its query) starts with `prefix`.
  std::vector<test::RecordedRequest> RequestsTo(const std::string& prefix);
  // Every request but the statistics ones, which leave on a thread of their
  // own and so may arrive after later steps' requests.
  std::vector<test::RecordedRequest> RequestsButStatistics();

  static test::FakeServices* services_;
  static bool started_;
};

// The "BIN" resource `name` of the program `exe` beside the test binary
// (empty when it has none).
std::string ProgramResource(const wchar_t* exe, const wchar_t* name);

// Windowed runs of lite_installer_local.exe driven through its window.
class WindowedRunTest : public LocalInstallTest {
 protected:
  // Starts a windowed run with the environment variables `env` besides and
  // waits for its window.
  void Start(const std::wstring& switches,
             const std::map<std::wstring, std::wstring>& env = {});
  // The run's full exit code (0xDEAD when it did not end in time).
  DWORD ExitCode();
  // Presses Install and waits for the progress screen.
  void Install();
  // The user's actions the statistics service received, in order, as
  // "clicked_button=install", "chosen_checkbox=sendstat" or
  // "clicked_link=ADDRESS" (waiting up to `timeout_ms` for `count`
  // statistics requests).
  std::vector<std::string> UserActions(size_t count = 64, DWORD timeout_ms = 3000);

  test::ChildProcess process_;
  test::InstallerWindowDriver driver_{0};
};

// Lower-case hexadecimal SHA-256 of `bytes`, as the fake setup records it.
std::string Sha256Hex(const std::string& bytes);

}  // namespace e2e

#endif  // TEST_E2E_E2E_SUPPORT_H_
