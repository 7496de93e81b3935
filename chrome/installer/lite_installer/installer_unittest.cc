#include "chrome/installer/lite_installer/installer.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/command_line.h"
#include "base/strings.h"
#include "brand/brand_package_info.h"
#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/delayed_params.h"
#include "chrome/installer/lite_installer/monotonic_time.h"
#include "chrome/installer/lite_installer/service_origins.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "logging/user_id.h"
#include "test/support/fake_services.h"
#include "test/support/fake_system_facts.h"
#include "test/support/fixed_distrib_params.h"
#include "test/support/matchers.h"
#include "test/support/recording_delegate.h"
#include "test/support/recording_stat_sender.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_command_line.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// An installer whose archive, verification and setup are chosen by the test.
class TestInstaller : public Installer {
 public:
  TestInstaller(Delegate* delegate,
                BrandPackageInfo* brand,
                DistribInfoParams* params,
                bool with_async_tasks)
      : Installer(delegate, brand, params, with_async_tasks) {
    set_message_window_poll_ms_for_testing(10);
    test::StatRecord::InstallInto(stat_reporter(), stats);
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

  // The report goes nowhere unless the test names its server, to which
  // it then goes as it would to the report service.
  bool Download(const std::wstring& url,
                installer::DownloadSink* sink,
                std::string* error,
                std::wstring* final_url) override {
    reports.push_back(base::WideToUTF8(url));
    if (!report_server)
      return true;
    const std::string path =
        reports.back().substr(std::strlen(lite_installer::kServiceOrigins.report));
    return Installer::Download(report_server->HttpsUrlW(path), sink, error,
                               final_url);
  }
  using Installer::ReportInstallationFinished;

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
  std::vector<std::string> reports;
  test::FakeServices* report_server = nullptr;
  // The statistics it sent.
  std::shared_ptr<test::StatRecord> stats = std::make_shared<test::StatRecord>();

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

// What another process managed to do to a file: one bit each.
enum ArchiveAttack {
  kArchiveWritten = 1,
  kArchiveRenamed = 2,
  kArchiveDeleted = 4,
};

// Another process going after the archive: write to it (its first byte,
// unchanged), rename it (and back), delete it. Share modes hold between
// Windows processes, not against Linux ones, so this is a Windows process.
LITE_CHILD_MAIN(AttackArchive) {
  const std::wstring& path = args.at(0);
  int done = 0;
  {
    base::ScopedFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, 0, nullptr));
    char first = 0;
    DWORD count = 0;
    if (file.is_valid() && ::ReadFile(file.get(), &first, 1, &count, nullptr) &&
        ::SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) == 0 &&
        ::WriteFile(file.get(), &first, count, &count, nullptr)) {
      done |= kArchiveWritten;
    }
  }
  const std::wstring moved = path + L".moved";
  if (::MoveFileExW(path.c_str(), moved.c_str(), 0)) {
    done |= kArchiveRenamed;
    ::MoveFileExW(moved.c_str(), path.c_str(), 0);
  }
  if (::DeleteFileW(path.c_str()))
    done |= kArchiveDeleted;
  return done;
}

// Runs the attack on `path` in another process; what it managed, or -1.
int AttackArchive(const std::wstring& path) {
  test::ChildProcess child =
      test::StartChild("AttackArchive", L"\"" + path + L"\"");
  if (!child.Wait(30000))
    return -1;
  return static_cast<int>(child.exit_code());
}

using FixedParams = test::FixedDistribParams;

// The real installation of a signed setup archive from the loopback
// services, attacked by another process at each step from the download on:
// `attacks` says where and what the attacker managed.
class ArchiveLockInstaller : public Installer {
 public:
  ArchiveLockInstaller(BrandPackageInfo* brand, DistribInfoParams* params)
      : Installer(nullptr, brand, params, false) {}

  bool DownloadUrl(const std::wstring& url,
                   installer::DownloadSink* sink,
                   std::string* error,
                   std::wstring* final_url,
                   uint32_t* total_size,
                   installer::DownloadObserver* observer,
                   base::ExceptionRecord* exception) override {
    const bool ok = Installer::DownloadUrl(url, sink, error, final_url,
                                           total_size, observer, exception);
    Attack("downloaded");
    return ok;
  }
  int GetModule(const std::wstring& path,
                std::unique_ptr<PermanentLockFile>* lock_file) override {
    const int result = Installer::GetModule(path, lock_file);
    // Until the user releases the installation only the permanent lock
    // holds the archive; without it, it is open to others by design.
    if (lock_file)
      Attack("waiting for the release");
    return result;
  }
  bool VerifyDownloadedModule(const std::wstring& path) override {
    Attack("verifying");
    const bool verified = Installer::VerifyDownloadedModule(path);
    Attack("verified");
    return verified;
  }
  bool RunModule(const std::wstring& path,
                 const base::CommandLine& command_line) override {
    // The attacker runs as setup would, then the real setup runs.
    wchar_t exe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    int32_t managed = -1;
    RunModuleAndWait(nullptr,
                     L"\"" + std::wstring(exe) +
                         L"\" --lite-test-child=AttackArchive \"" + path +
                         L"\"",
                     &managed);
    attacks.emplace_back("setup running", managed);
    const bool ok = Installer::RunModule(path, command_line);
    Attack("setup ended");
    return ok;
  }
  DWORD GetRetryDelayMs() override { return 1; }

  void Attack(const char* when) {
    attacks.emplace_back(when, AttackArchive(module_path()));
  }

  std::vector<std::pair<std::string, int>> attacks;
};

class InstallerTest : public test::TestWithLog {
 protected:
  void SetUp() override {
    lite_installer::GetDelayedParams().error_kind = 0;
    brand_.brand_name_ = "yb";
  }
  void TearDown() override {
    lite_installer::GetDelayedParams().error_kind = 0;
  }

  test::ScopedTempDir dir_;
  test::ScopedRegistryOverride registry_;
  // Setup is not expected to start the browser in these tests, so the
  // installer does not wait for the browser's window.
  test::ScopedCommandLine command_line_{L"inst.exe --do-not-launch-browser"};
  BrandPackageInfo brand_{dir_.path() + L"\\"};
  test::RecordingDelegate delegate_;
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

// An install thread that cannot be started.
class ThreadlessInstaller : public TestInstaller {
 public:
  using TestInstaller::TestInstaller;
  HANDLE BeginInstallThread() override {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
};

TEST_F(InstallerTest, AnInstallThreadThatCannotStartIsReported) {
  ThreadlessInstaller installer(&delegate_, &brand_, nullptr, false);
  installer.StartInstallAsync();
  EXPECT_THAT(delegate_.calls(), ElementsAre("error 1"));
  EXPECT_THAT(Log(),
              HasSubstr("ERROR: Failed to start the install thread. - 8, "));
  // There is nothing to wait for.
  const DWORD start = ::GetTickCount();
  EXPECT_TRUE(installer.WaitForInstallAsync());
  EXPECT_LT(::GetTickCount() - start, 1000u);
}

// The shared error cell lives as long as the process: a second installation
// does not inherit the first one's kind.
TEST_F(InstallerTest, ASecondInstallationStartsWithoutTheFirstOnesErrorKind) {
  {
    TestInstaller first(&delegate_, &brand_, nullptr, false);
    first.setup_exit_code = 7;
    first.InstallSync();
  }
  {
    TestInstaller second(&delegate_, &brand_, nullptr, false);
    second.verify_result = false;
    second.InstallSync();
  }
  EXPECT_THAT(delegate_.calls(),
              ElementsAre("percent 40", "disable cancel", "error 5", "finished",
                          "error 1", "finished"));
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
  command_line_.Set(L"inst.exe --silent --send-statistics");
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

// The statistics choice reaches setup only: the installer's own events are
// the same either way.
TEST_F(InstallerTest, StatisticsChoiceChangesSetupsLineNotTheEvents) {
  command_line_.Set(L"inst.exe --silent");
  std::vector<std::string> events[2];
  for (uint8_t choice : {0, 1}) {
    TestInstaller installer(nullptr, &brand_, nullptr, false);
    installer.set_send_statistics(choice);
    installer.InstallSync();
    EXPECT_EQ(choice != 0,
              installer.setup_line.find(L"--send-statistics") !=
                  std::wstring::npos);
    events[choice] = installer.stats->Events();
  }
  EXPECT_THAT(events[0], ElementsAre("installer_started",
                                     "setup/setup_exe_launched",
                                     "setup/setup_exe_exited"));
  EXPECT_EQ(events[0], events[1]);
}

TEST_F(InstallerTest, MakeDefaultIsIgnoredOnWindows8) {
  test::FakeSystemFacts facts;
  for (DWORD minor : {1u, 2u, 3u}) {
    facts.SetWindowsVersion(6, minor, 9200);
    TestInstaller installer(nullptr, &brand_, nullptr, false);
    installer.SetMakeBrowserDefault(true);
    EXPECT_EQ(minor == 1 ? 1 : 0, installer.make_default()) << minor;
  }
}

TEST_F(InstallerTest, DelayedParamsRoundTrip) {
  const std::wstring max_path(260, L'p');
  lite_installer::SetupCommandLineInputs inputs;
  inputs.archive_path = max_path;
  inputs.clids_file_path = L"C:\\clids.xml";
  inputs.installer_data_path = L"C:\\data";
  inputs.brand_package_path = L"C:\\BrandFile";
  inputs.brand_package_extracted = true;
  inputs.download_time = L"12";
  inputs.install_start_time = 345;
  inputs.send_statistics = 255;
  inputs.make_default = 0;
  inputs.install_nrpin = 0;
  ASSERT_TRUE(Installer::ElevatedProcessHolder::WriteDelayedParams(inputs));
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
  lite_installer::SetupCommandLineInputs too_long;
  too_long.archive_path = max_path + L"q";
  too_long.download_time = L"1";
  too_long.install_start_time = 2;
  too_long.send_statistics = 1;
  too_long.make_default = 1;
  too_long.install_nrpin = 1;
  EXPECT_FALSE(Installer::ElevatedProcessHolder::WriteDelayedParams(too_long));
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
  command_line_.Set(
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

// The attacker is able: on a file nobody holds it writes, renames and
// deletes.
TEST_F(InstallerTest, TheArchiveAttackerWorksOnAnUnheldFile) {
  const std::wstring path = dir_.Append(L"unheld.arc");
  ASSERT_TRUE(test::WriteStringToFile(path, "MZ"));
  EXPECT_EQ(kArchiveWritten | kArchiveRenamed | kArchiveDeleted,
            AttackArchive(path));
  EXPECT_FALSE(test::PathExists(path));
}

class ArchiveLockTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    // Windows 10: the download takes the brand's URL alone.
    facts_.SetWindowsVersion(10, 0, 19045);
    ASSERT_TRUE(server().running()) << server().ServerLog();
    ASSERT_TRUE(server().Reset());
    ASSERT_TRUE(server().AddRule(
        "/dl/setup.arc",
        "{\"file\": \"" +
            test::UnixPath(test::ExecutableDir() + L"\\fake_setup_signed.exe") +
            "\"}"));
    brand_.setup_url_ = server().HttpUrl("/dl/setup.arc");
    command_line_.Set(
        L"inst.exe --silent --do-not-launch-browser \"--fake-setup-report=" +
        Report() + L"\"");
  }
  static test::FakeServices& server() { return test::FakeServices::Shared(); }
  std::wstring Report() const { return dir_.Append(L"report.json"); }

  // Every attack, as "where: what it managed".
  static std::vector<std::string> Attacks(const ArchiveLockInstaller& i) {
    std::vector<std::string> attacks;
    for (const auto& [when, managed] : i.attacks)
      attacks.push_back(when + ": " + std::to_string(managed));
    return attacks;
  }

  test::FakeSystemFacts facts_;
  FixedParams params_;
};

// From the lock to setup's end, no other process can write, rename or
// delete the archive that is verified and run.
TEST_F(ArchiveLockTest, LockedThroughVerificationAndSetup) {
  ArchiveLockInstaller installer(&brand_, &params_);
  installer.InstallSync();
  EXPECT_THAT(Attacks(installer),
              ElementsAre("downloaded: 0", "verifying: 0", "verified: 0",
                          "setup running: 0", "setup ended: 0"));
  // The archive was verified and run whole.
  EXPECT_TRUE(test::PathExists(Report())) << Log();
  EXPECT_THAT(Log(), HasSubstr("INFO: Verification succeeded: "));
  EXPECT_EQ(0, installer.exit_code());
  EXPECT_FALSE(test::PathExists(installer.module_path()));
}

// "setup_arc_permanent_lock": the archive is held from its creation, through
// the wait for the user's release, to setup's end.
TEST_F(ArchiveLockTest, PermanentLockHoldsFromTheArchivesCreation) {
  params_.values["setup_arc_permanent_lock"] = "1";
  ArchiveLockInstaller installer(&brand_, &params_);
  installer.InstallSync();
  EXPECT_THAT(
      Attacks(installer),
      ElementsAre("downloaded: 0", "waiting for the release: 0", "verifying: 0",
                  "verified: 0", "setup running: 0", "setup ended: 0"));
  EXPECT_TRUE(test::PathExists(Report())) << Log();
  EXPECT_THAT(Log(), Not(HasSubstr("Cannot lock file")));
  EXPECT_EQ(0, installer.exit_code());
  EXPECT_FALSE(test::PathExists(installer.module_path()));
}

// The elevation prompt's owner window belongs to the window thread; the
// holder goes on the install thread, which may not destroy it.
TEST_F(InstallerTest, HolderClosesTheOwnerWindowThroughItsThread) {
  HWND window = nullptr;
  base::ScopedKernelHandle created(
      ::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  bool gone = false;
  std::thread window_thread([&] {
    window = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", nullptr, WS_POPUP,
                               0, 0, 0, 0, nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    ::SetEvent(created.get());
    // Pumps until the window is gone, for at most ten seconds.
    const DWORD start = ::GetTickCount();
    while (window && ::IsWindow(window) && ::GetTickCount() - start < 10000) {
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
    }
    gone = !::IsWindow(window);
    if (!gone)
      ::DestroyWindow(window);
  });
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(created.get(), 10000));
  ASSERT_TRUE(window);

  // An elevated copy that has already ended.
  test::ChildProcess copy = test::StartChild("ExitWith", L"0");
  ASSERT_TRUE(copy.Wait(30000));
  HANDLE process = nullptr;
  ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), copy.handle(),
                                ::GetCurrentProcess(), &process, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
  auto holder = std::make_unique<Installer::ElevatedProcessHolder>();
  holder->SetProcess(process, window);
  holder.reset();
  window_thread.join();
  EXPECT_TRUE(gone);
  EXPECT_THAT(Log(), Not(HasSubstr("owner window")));

  // Destroyed on the window's own thread, the holder closes it at once.
  HWND own = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", nullptr, WS_POPUP,
                               0, 0, 0, 0, nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(own);
  holder = std::make_unique<Installer::ElevatedProcessHolder>();
  holder->SetProcess(nullptr, own);
  holder.reset();
  EXPECT_FALSE(::IsWindow(own));
}

// The elevated copy learns only whether the icon file can be read and is
// not empty: its size says so, without reading it into memory.
TEST_F(InstallerTest, IconFileIsCheckedBySize) {
  auto icon_switch = [](const std::wstring& icon) {
    lite_installer::SetupCommandLineInputs inputs;
    inputs.archive_path = L"C:\\arc.exe";
    inputs.website_icon_path = icon;
    inputs.download_time = L"1";
    inputs.install_start_time = 2;
    EXPECT_TRUE(Installer::ElevatedProcessHolder::WriteDelayedParams(inputs));
    base::CommandLine line(L"elevated.exe");
    Installer::ApplyDelayedParams(&line);
    return line.HasSwitch("norvel-website-icon-file")
               ? line.GetSwitchValue("norvel-website-icon-file")
               : L"(none)";
  };
  const std::wstring empty = dir_.Append(L"empty.ico");
  ASSERT_TRUE(test::WriteStringToFile(empty, ""));
  EXPECT_EQ(L"(none)", icon_switch(empty));
  EXPECT_EQ(L"(none)", icon_switch(dir_.Append(L"missing.ico")));

  // A large icon file (sparse: its size costs no disk).
  const std::wstring large = dir_.Append(L"large.ico");
  {
    base::ScopedFileHandle file(::CreateFileW(
        large.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file.is_valid());
    LARGE_INTEGER size;
    size.QuadPart = 256ll << 20;
    ASSERT_TRUE(::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(file.get()));
  }
  const size_t before = test::PeakWorkingSetBytes();
  ASSERT_NE(0u, before);
  EXPECT_EQ(large, icon_switch(large));
  const size_t after = test::PeakWorkingSetBytes();
  EXPECT_LT(after - before, size_t{32} << 20) << before << " -> " << after;

  // One nobody else may read is not handed on.
  base::ScopedFileHandle held(::CreateFileW(
      large.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.is_valid());
  EXPECT_EQ(L"(none)", icon_switch(large));
}

}  // namespace

namespace {

// The report of a run, after the report service's origin.
std::string ReportQuery(const std::string& url) {
  const std::string origin = lite_installer::kServiceOrigins.report;
  EXPECT_EQ(origin, url.substr(0, origin.size()));
  return url.substr(origin.size());
}

constexpr char kGuidPattern[] =
    "[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}";

TEST_F(InstallerTest, EveryRunEndsWithOneReportOfItsOutcome) {
  std::vector<std::string> ids;
  {
    // Setup ran: its time is reported; the archive came from elsewhere, so
    // no download time.
    TestInstaller installer(&delegate_, &brand_, nullptr, false);
    installer.InstallSync();
    ASSERT_EQ(1u, installer.reports.size());
    EXPECT_THAT(ReportQuery(installer.reports[0]),
                test::FullyMatches(std::string("/get/browser/install\\?ui=(") +
                                   kGuidPattern +
                                   ")&result=success&time=0&install_time=0"));
    ids.push_back(installer.reports[0].substr(
        installer.reports[0].find("ui=") + 3, 36));
  }
  {
    TestInstaller installer(&delegate_, &brand_, nullptr, false);
    installer.verify_result = false;
    installer.InstallSync();
    ASSERT_EQ(1u, installer.reports.size());
    EXPECT_THAT(ReportQuery(installer.reports[0]),
                test::FullyMatches(std::string("/get/browser/install\\?ui=") +
                                   kGuidPattern + "&result=failed&time=0"));
    ids.push_back(installer.reports[0].substr(
        installer.reports[0].find("ui=") + 3, 36));
  }
  {
    // Cancelled while setup still completed: the cancel wins.
    TestInstaller installer(&delegate_, &brand_, nullptr, false);
    installer.IncrementCancelCount();
    installer.InstallSync();
    ASSERT_EQ(1u, installer.reports.size());
    EXPECT_THAT(installer.reports[0], HasSubstr("&result=cancelled&time="));
    EXPECT_THAT(installer.setup_line, HasSubstr(L"--brand-name=yb"));
  }
  // A fresh identifier per run, never the user's.
  EXPECT_NE(ids[0], ids[1]);
  const std::string user_id = broupdater::GetUserId();
  EXPECT_THAT(ids, Not(testing::Contains(user_id)));
}

TEST_F(InstallerTest, WholeSecondsTruncateAndKeepTheExtremes) {
  EXPECT_EQ(1, lite_installer::WholeSeconds(1999999));
  EXPECT_EQ(-1, lite_installer::WholeSeconds(-1999999));
  EXPECT_EQ(0, lite_installer::WholeSeconds(999999));
  EXPECT_EQ(INT64_MAX, lite_installer::WholeSeconds(INT64_MAX));
  EXPECT_EQ(INT64_MIN, lite_installer::WholeSeconds(INT64_MIN));
  EXPECT_EQ(INT64_MAX / 1000000, lite_installer::WholeSeconds(INT64_MAX - 1));
}

class InstallerReportTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    ASSERT_TRUE(server().Start()) << server().ServerLog();
  }
  test::FakeServices& server() { return server_; }
  std::vector<test::RecordedRequest> Reports() {
    std::vector<test::RecordedRequest> reports;
    for (test::RecordedRequest& request : server_.Requests()) {
      if (request.path.rfind("/get/browser/install?", 0) == 0)
        reports.push_back(std::move(request));
    }
    return reports;
  }

  test::FakeServices server_;
};

TEST_F(InstallerReportTest, AFailedReportIsOnlyLogged) {
  ASSERT_TRUE(server().AddRule("/get/browser/install", R"({"status": 500})"));
  TestInstaller installer(&delegate_, &brand_, nullptr, false);
  installer.report_server = &server();
  installer.InstallSync();
  ASSERT_EQ(1u, Reports().size());
  EXPECT_EQ("GET", Reports()[0].method);
  EXPECT_THAT(Log(), HasSubstr("ERROR: Cannot report installation status: "
                               "final_query_info-500-"));
  EXPECT_THAT(Log(), HasSubstr("INFO: Attempt to download module: https://"));

  // The same run answered 200 ends with the same exit code and no error.
  ASSERT_TRUE(server().Reset());
  ASSERT_TRUE(server().AddRule("/get/browser/install", R"({"text": "ok"})"));
  log_.Clear();
  TestInstaller answered(&delegate_, &brand_, nullptr, false);
  answered.report_server = &server();
  answered.InstallSync();
  ASSERT_EQ(1u, Reports().size());
  EXPECT_EQ(answered.exit_code(), installer.exit_code());
  EXPECT_THAT(Log(), Not(HasSubstr("Cannot report installation status")));
}

// A closed window has signalled the stop before the report: the request is
// still made, and its end is logged as a failure.
TEST_F(InstallerReportTest, AStoppedRunStillReachesTheServer) {
  ASSERT_TRUE(server().AddRule("/get/browser/install", R"({"text": "ok"})"));
  TestInstaller installer(&delegate_, &brand_, nullptr, false);
  installer.report_server = &server();
  ::SetEvent(installer.stop_event());
  installer.ReportInstallationFinished(true);
  ASSERT_EQ(1u, Reports().size());
  EXPECT_THAT(Reports()[0].path, HasSubstr("&result=success&time=0"));
  EXPECT_THAT(Log(), HasSubstr("ERROR: Cannot report installation status: "));
}

}  // namespace
