#include "chrome/installer/lite_installer/installer.h"

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "brand/brand_package_info.h"
#include "chrome/installer/lite_installer/delayed_params.h"
#include "base/system_facts.h"
#include "base/windows_version.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "logging/file_logger.h"
#include "test/support/registry_override.h"
#include "test/support/test_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// Records every delegate call as text, in order.
class RecordingDelegate : public Installer::Delegate {
 public:
  void OnDownloadProgress(float fraction) override { Add("progress"); }
  void OnSlowDownload() override { Add("slow"); }
  void OnTimeRemaining(int32_t seconds, int32_t state) override {
    Add("remaining");
  }
  void OnInstallFinished(bool finished) override { Add("finished"); }
  void OnInstallError(InstallErrorKind kind) override {
    Add("error " + std::to_string(kind));
  }
  uint32_t GetWindowHandle() override { return 1234; }
  void SetProgress(int32_t percent) override {
    Add("percent " + std::to_string(percent));
  }
  void DisableCancel() override { Add("disable cancel"); }

  std::vector<std::string> calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  void Add(std::string call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }
  std::mutex mutex_;
  std::vector<std::string> calls_;
};

// An installer whose archive, verification and setup are chosen by the test.
class TestInstaller : public Installer {
 public:
  TestInstaller(Delegate* delegate,
                BrandPackageInfo* brand,
                DistribInfoParams* params,
                bool with_async_tasks)
      : Installer(delegate, brand, params, with_async_tasks) {
    set_message_window_poll_ms_for_testing(10);
  }

  int GetModule(const std::wstring& path,
                std::unique_ptr<PermanentLockFile>* lock_file) override {
    ::SetEvent(module_requested_.get());
    if (module_blocks) {
      // A download that honours the stop event, or one that hangs.
      HANDLE wait_on = ignore_stop ? never_.get() : stop_event();
      ::WaitForSingleObject(wait_on, INFINITE);
      return kInstallErrorDownload;
    }
    if (module_result != 0)
      return module_result;
    if (!archive_source.empty()) {
      return ::CopyFileW(archive_source.c_str(), path.c_str(), FALSE)
                 ? 0
                 : kInstallErrorGeneric;
    }
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    ::WriteFile(file, "MZ", 2, &written, nullptr);
    ::CloseHandle(file);
    return 0;
  }
  bool VerifyDownloadedModule(const std::wstring& path) override {
    verified_path = path;
    ::SetEvent(verify_called_.get());
    if (!archive_source.empty())
      return Installer::VerifyDownloadedModule(path);
    return verify_result;
  }
  bool RunModule(const std::wstring& path,
                 const base::CommandLine& command_line) override {
    setup_line = command_line.GetCommandLineString();
    if (!archive_source.empty())
      return Installer::RunModule(path, command_line);
    if (setup_exit_code < 0)
      return true;
    // A real child process that exits with the chosen code.
    wchar_t exe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    return RunModuleAndWait(nullptr,
                            L"\"" + std::wstring(exe) +
                                L"\" --lite-test-child=ExitWith " +
                                std::to_wstring(setup_exit_code),
                            &setup_exit);
  }

  bool WaitModuleRequested() {
    return ::WaitForSingleObject(module_requested_.get(), 10000) ==
           WAIT_OBJECT_0;
  }
  bool VerifyCalledWithin(DWORD ms) {
    return ::WaitForSingleObject(verify_called_.get(), ms) == WAIT_OBJECT_0;
  }

  // A real archive to "download": verified and run for real.
  std::wstring archive_source;
  bool module_blocks = false;
  bool ignore_stop = false;
  int module_result = 0;
  bool verify_result = true;
  int setup_exit_code = -1;  // -1: do not start a process
  int32_t setup_exit = 0;
  std::wstring verified_path;
  std::wstring setup_line;

 private:
  base::ScopedKernelHandle module_requested_{
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  base::ScopedKernelHandle verify_called_{
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  base::ScopedKernelHandle never_{
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

LITE_CHILD_MAIN(ExitWith) {
  return std::stoi(args.at(0));
}

class InstallerTest : public testing::Test {
 protected:
  void SetUp() override {
    lite_installer::GetDelayedParams().error_kind = 0;
    brand_.brand_name_ = "yb";
    broupdater::SetFileLogger(std::make_unique<broupdater::FileLogger>(
        dir_.Append(L"log.txt"), broupdater::kLogFileMaxSize));
    // Setup is not expected to start the browser in these tests, so the
    // installer does not wait for the browser's window.
    base::CommandLine::InitForCurrentProcessForTesting(
        L"inst.exe --do-not-launch-browser");
  }
  void TearDown() override {
    broupdater::SetFileLogger(nullptr);
    base::CommandLine::InitForCurrentProcessForTesting(::GetCommandLineW());
    lite_installer::GetDelayedParams().error_kind = 0;
  }
  std::string Log() {
    std::string text;
    test::ReadFileToString(dir_.Append(L"log.txt"), &text);
    return text;
  }

  test::ScopedTempDir dir_;
  test::ScopedRegistryOverride registry_;
  BrandPackageInfo brand_{dir_.path() + L"\\"};
  RecordingDelegate delegate_;
};

TEST_F(InstallerTest, DownloadsAtOnceAndWaitsForTheRelease) {
  auto installer =
      std::make_unique<TestInstaller>(&delegate_, &brand_, nullptr, false);
  installer->StartInstallAsync();
  ASSERT_TRUE(installer->WaitModuleRequested());
  // Nothing is verified or run until the user releases the installation.
  EXPECT_FALSE(installer->VerifyCalledWithin(300));
  installer->StartInstallAfterDownload();
  EXPECT_TRUE(installer->VerifyCalledWithin(10000));
  EXPECT_TRUE(installer->WaitForInstallAsync());
  EXPECT_THAT(delegate_.calls(), ElementsAre("percent 100", "finished"));
  EXPECT_THAT(installer->setup_line, HasSubstr(L"--progress-window=1234"));
  EXPECT_THAT(installer->setup_line, HasSubstr(L"--brand-name=yb"));
  // The archive is gone afterwards.
  EXPECT_FALSE(installer->verified_path.empty());
  EXPECT_FALSE(test::PathExists(installer->verified_path));
}

TEST_F(InstallerTest, StopDuringDownloadReportsNoError) {
  auto installer =
      std::make_unique<TestInstaller>(&delegate_, &brand_, nullptr, false);
  installer->module_blocks = true;
  installer->StartInstallAsync();
  ASSERT_TRUE(installer->WaitModuleRequested());
  EXPECT_TRUE(installer->WaitForInstallAsync());
  EXPECT_TRUE(delegate_.calls().empty());
}

TEST_F(InstallerTest, StopWhileWaitingForTheRelease) {
  auto installer =
      std::make_unique<TestInstaller>(&delegate_, &brand_, nullptr, false);
  installer->StartInstallAsync();
  ASSERT_TRUE(installer->WaitModuleRequested());
  EXPECT_TRUE(installer->WaitForInstallAsync());
  EXPECT_FALSE(installer->VerifyCalledWithin(0));
  EXPECT_TRUE(delegate_.calls().empty());
  EXPECT_THAT(Log(), HasSubstr("ERROR: Installation after download event "
                               "isn't in signal state or installation was "
                               "stopped early. - "));
}

TEST_F(InstallerTest, AStoppedRunStillReportsTheSharedErrorKind) {
  auto installer =
      std::make_unique<TestInstaller>(&delegate_, &brand_, nullptr, false);
  installer->module_blocks = true;
  installer->StartInstallAsync();
  ASSERT_TRUE(installer->WaitModuleRequested());
  lite_installer::GetDelayedParams().error_kind = kInstallErrorSetupExit7;
  EXPECT_TRUE(installer->WaitForInstallAsync());
  EXPECT_THAT(delegate_.calls(), ElementsAre("error 2"));
}

TEST_F(InstallerTest, ErrorKinds) {
  {
    TestInstaller installer(&delegate_, &brand_, nullptr, false);
    installer.module_result = kInstallErrorCryptoPro;
    installer.InstallSync();
  }
  {
    TestInstaller installer(&delegate_, &brand_, nullptr, false);
    installer.verify_result = false;
    installer.InstallSync();
    EXPECT_EQ(402, installer.exit_code());
  }
  {
    // Setup exits with 7 and 8: failures with their own kinds, taken from
    // the shared error cell.
    TestInstaller installer(&delegate_, &brand_, nullptr, false);
    installer.setup_exit_code = 7;
    installer.InstallSync();
    EXPECT_EQ(7, installer.setup_exit);
  }
  lite_installer::GetDelayedParams().error_kind = 0;
  {
    TestInstaller installer(&delegate_, &brand_, nullptr, false);
    installer.setup_exit_code = 8;
    installer.InstallSync();
  }
  lite_installer::GetDelayedParams().error_kind = 0;
  {
    // Any other exit code is a successful run.
    TestInstaller installer(&delegate_, &brand_, nullptr, false);
    installer.setup_exit_code = 1;
    installer.InstallSync();
  }
  EXPECT_THAT(
      delegate_.calls(),
      ElementsAre("error 3", "finished", "error 1", "finished", "percent 40",
                  "disable cancel", "error 5", "finished", "percent 40",
                  "disable cancel", "error 6", "finished", "percent 40",
                  "disable cancel", "percent 100", "finished"));
  EXPECT_THAT(Log(), HasSubstr("INFO: Setup process exit with code: "
                               "SUCCESS_EXIT_CODE(0); error: 7 ("));
  EXPECT_THAT(Log(), HasSubstr("ERROR: Module verification failed: "));
}

TEST_F(InstallerTest, HungThreadIsTerminatedOnDestruction) {
  auto installer =
      std::make_unique<TestInstaller>(&delegate_, &brand_, nullptr, false);
  installer->module_blocks = true;
  installer->ignore_stop = true;
  installer->set_thread_wait_ms_for_testing(200);
  installer->StartInstallAsync();
  ASSERT_TRUE(installer->WaitModuleRequested());
  EXPECT_FALSE(installer->WaitForInstallAsync());
  installer.reset();
  EXPECT_THAT(Log(), HasSubstr("ERROR: Failed to wait for install async exit. "
                               "Terminate install_thread_ - "));
}

TEST_F(InstallerTest, SilentRunCommandLine) {
  base::CommandLine::InitForCurrentProcessForTesting(
      L"inst.exe --silent --send-statistics");
  TestInstaller installer(nullptr, &brand_, nullptr, false);
  installer.set_send_statistics(0);
  installer.InstallSync();
  EXPECT_THAT(installer.setup_line, HasSubstr(L"--progress-window=0"));
  EXPECT_THAT(installer.setup_line, Not(HasSubstr(L"--send-statistics")));
  EXPECT_THAT(installer.setup_line, Not(HasSubstr(L"browser-present")));
  EXPECT_THAT(installer.setup_line, Not(HasSubstr(L"ok-button-pressed-time")));
  EXPECT_THAT(installer.setup_line, Not(HasSubstr(L"--disablenrpin")));
  EXPECT_THAT(installer.setup_line, HasSubstr(L"--silent"));
}

class VersionFacts : public base::SystemFacts {
 public:
  std::optional<Version> GetWindowsVersion() const override {
    return Version{6, minor, 9200};
  }
  DWORD minor = 2;
};

TEST_F(InstallerTest, MakeDefaultIsIgnoredOnWindows8) {
  VersionFacts facts;
  base::ScopedSystemFactsForTesting scoped(&facts);
  for (DWORD minor : {1u, 2u, 3u}) {
    facts.minor = minor;
    base::ResetWindowsVersionClassForTesting();
    TestInstaller installer(nullptr, &brand_, nullptr, false);
    installer.SetMakeBrowserDefault(true);
    EXPECT_EQ(minor == 1 ? 1 : 0, installer.make_default()) << minor;
  }
  base::ResetWindowsVersionClassForTesting();
}

TEST_F(InstallerTest, DelayedParamsRoundTrip) {
  const std::wstring max_path(260, L'p');
  ASSERT_TRUE(Installer::ElevatedProcessHolder::WriteDelayedParams(
      max_path, L"C:\\clids.xml", L"", L"C:\\data", L"C:\\BrandFile", L"", L"",
      L"12", L"345", 255, 0, 0));
  base::CommandLine line(L"elevated.exe");
  line.AppendSwitch("make-browser-default-after-import");
  Installer::ApplyDelayedParams(&line);
  EXPECT_EQ(max_path, line.GetProgram());
  EXPECT_EQ(L"C:\\clids.xml", line.GetSwitchValue("clids-file"));
  EXPECT_EQ(L"C:\\data", line.GetSwitchValue("installerdata"));
  EXPECT_EQ(L"C:\\BrandFile", line.GetSwitchValue("brand-package"));
  EXPECT_EQ(L"345", line.GetSwitchValue("install-start-time-no-uac"));
  EXPECT_EQ(L"12", line.GetSwitchValue("histogram-download-time"));
  EXPECT_TRUE(line.HasSwitch("send-statistics"));
  EXPECT_FALSE(line.HasSwitch("make-browser-default-after-import"));
  EXPECT_TRUE(line.HasSwitch("disablenrpin"));
  EXPECT_FALSE(line.HasSwitch("partner-package"));

  // One unit more does not fit: nothing is written and the values are
  // logged.
  EXPECT_FALSE(Installer::ElevatedProcessHolder::WriteDelayedParams(
      max_path + L"q", L"", L"", L"", L"", L"", L"", L"1", L"2", 1, 1, 1));
  base::CommandLine again(L"elevated.exe");
  Installer::ApplyDelayedParams(&again);
  EXPECT_EQ(max_path, again.GetProgram());
  EXPECT_THAT(Log(), HasSubstr("ERROR: Too large string length, "
                               "browser_arc_path=pppp"));
  EXPECT_THAT(Log(), HasSubstr(" histogram_download_time=1 "
                               "histogram_full_time=2 send_statistics=1 "
                               "make_default=1 install_nrpin=1 - "));
}

TEST_F(InstallerTest, VerifiesAndRunsARealSetupArchive) {
  const std::wstring report = dir_.Append(L"report.json");
  base::CommandLine::InitForCurrentProcessForTesting(
      L"inst.exe --silent --do-not-launch-browser \"--fake-setup-report=" +
      report + L"\" --fake-setup-exit-code=3");
  {
    TestInstaller installer(nullptr, &brand_, nullptr, false);
    installer.archive_source =
        test::ExecutableDir() + L"\\fake_setup_signed.exe";
    installer.InstallSync();
    // Setup's own exit code becomes the installer's.
    EXPECT_EQ(3, installer.exit_code());
  }
  std::string text;
  ASSERT_TRUE(test::ReadFileToString(report, &text)) << Log();
  EXPECT_THAT(text, HasSubstr("\"source\": \"lite\""));
  EXPECT_THAT(text, HasSubstr("\"verbose-logging\": \"\""));
  EXPECT_THAT(text, HasSubstr("\"brand-name\": \"yb\""));
  EXPECT_THAT(Log(), HasSubstr("INFO: Verification succeeded: "));
  EXPECT_THAT(Log(), HasSubstr("INFO: Setup process exit with code: "
                               "SUCCESS_EXIT_CODE(0); error: 3 ("));

  // The same program unsigned is refused with 402 and never runs.
  ::DeleteFileW(report.c_str());
  TestInstaller unsigned_installer(nullptr, &brand_, nullptr, false);
  unsigned_installer.archive_source =
      test::ExecutableDir() + L"\\fake_setup.exe";
  unsigned_installer.InstallSync();
  EXPECT_EQ(402, unsigned_installer.exit_code());
  EXPECT_FALSE(test::PathExists(report));
}

}  // namespace
