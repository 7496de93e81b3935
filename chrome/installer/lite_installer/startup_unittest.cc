// Runs the start-up sequence in-process with chosen switches and machine
// facts, and checks its exit codes and log lines.

#include "chrome/installer/lite_installer/startup.h"

#include <windows.h>

#include <string>
#include <thread>

#include "base/command_line.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/lite_installer/single_instance.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "logging/file_logger.h"
#include "test/support/fake_system_facts.h"
#include "test/support/matchers.h"
#include "test/support/platform_log_capture.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_command_line.h"
#include "test/support/scoped_test_log.h"
#include "test/support/startup_test.h"
#include "test/support/test_support.h"

namespace lite_installer {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The run's installer fails its download at once instead of trying the
// product's hosts with pauses between attempts.
class OfflineInstaller : public Installer {
 public:
  using Installer::Installer;
  int DownloadModule(HANDLE file,
                     const base::CommandLine& command_line) override {
    LOG(ERROR) << "Offline test installer: no download.";
    return kInstallErrorDownload;
  }
};

std::unique_ptr<Installer> CreateOfflineInstaller(
    Installer::Delegate* delegate,
    BrandPackageInfo* brand,
    DistribInfoParams* distrib_params,
    bool with_async_tasks) {
  return std::make_unique<OfflineInstaller>(delegate, brand, distrib_params,
                                            with_async_tasks);
}

// A run writes its log into its temporary directory, here dir_.
class StartupTest : public test::StartupTest {
 protected:
  void SetUp() override {
    test::StartupTest::SetUp();
    SetInstallerFactoryForTesting(&CreateOfflineInstaller);
  }
  void TearDown() override {
    SetInstallerFactoryForTesting(nullptr);
    test::StartupTest::TearDown();
  }

  int Run(const std::wstring& switches) {
    command_line_.Set(L"\"C:\\dl\\lite_installer.exe\" " + switches);
    return wWinMain(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW);
  }
};

TEST_F(StartupTest, SilentRunWalksTheSequenceInOrder) {
  EXPECT_EQ(401, Run(L"--silent --brand-name=yb"));
  // These lines appear in this order, with other lines between them.
  const std::vector<std::string> expected_prefixes = {
      "INFO: -------------------------------------- Start install.",
      "INFO: Runned in secure environment.",
      "INFO: Lite installer mode.",
      "INFO: Installer process id: " + std::to_string(::GetCurrentProcessId()),
      "INFO: Temporary path is: ",
      "INFO: Reset brand info.",
      "WARNING: Partner package is empty.",
      "INFO: Fetching definedyb package",
      "INFO: Fetching default package",
      "WARNING: Brand package is empty.",
      "INFO: Brand id: norvel",
      "INFO: Installing in silent mode.",
      "INFO: Install Browser.",
      "ERROR: Offline test installer: no download.",
      "INFO: Installer exit with code: 401",
  };
  std::vector<std::string> entries = log_.Messages();
  size_t next = 0;
  for (const std::string& entry : entries) {
    if (next < expected_prefixes.size() &&
        entry.starts_with(expected_prefixes[next])) {
      ++next;
    }
  }
  EXPECT_EQ(expected_prefixes.size(), next)
      << "missing or out of order: "
      << expected_prefixes[std::min(next, expected_prefixes.size() - 1)] << "\n"
      << log_.Read();
  EXPECT_EQ(entries.front(), expected_prefixes.front());
  EXPECT_EQ(entries.back(), expected_prefixes.back());
  EXPECT_THAT(
      log_.Read(),
      HasSubstr("Temporary path is: " +
                std::string(dir_.path().begin(), dir_.path().end()) + "\\ ("));
  EXPECT_THAT(log_.Read(), HasSubstr("ERROR: Module was not downloaded: "));
  // The sequence's own lines carry the entry point's name.
  EXPECT_THAT(log_.Read(), test::ContainsPattern(
                               "Lite installer mode\\. \\(wWinMain:[0-9]+\\)"));
}

TEST_F(StartupTest, SemiSilentActsAsSilent) {
  EXPECT_EQ(401, Run(L"-Semi-Silent"));
  EXPECT_THAT(log_.Read(), HasSubstr("INFO: Installing in silent mode."));
}

TEST_F(StartupTest, MissingSse3EndsSilentRunWith404AndNoMessage) {
  SetSse(true, false);
  EXPECT_EQ(404, Run(L"--silent"));
  EXPECT_THAT(log_.Read(),
              test::ContainsPattern("ERROR: CPU is not supported - [0-9]+, "));
  EXPECT_THAT(log_.Read(), Not(HasSubstr("Processor refusal")));
  EXPECT_THAT(log_.Read(), Not(HasSubstr("Installer exit with code")));
  EXPECT_THAT(log_.Read(), Not(HasSubstr("Installing in silent mode.")));
}

// The windowed refusal's message box: startup_dialogs_unittest.cc.
TEST_F(StartupTest, MissingSse2RefusesWithReason483) {
  SetSse(false, true);
  EXPECT_EQ(404, Run(L"--silent"));
  int reason = 0;
  EXPECT_FALSE(IsCpuSupported(&reason));
  EXPECT_EQ(483, reason);
  SetSse(true, false);
  EXPECT_FALSE(IsCpuSupported(&reason));
  EXPECT_EQ(484, reason);
  SetSse(true, true);
  EXPECT_TRUE(IsCpuSupported(&reason));
}

TEST_F(StartupTest, NotEnoughDiskSpaceStopsOnlyWindowedRuns) {
  facts_.SetFreeDiskSpace(kRequiredDiskSpace - 1);
  EXPECT_EQ(403, Run(L""));
  EXPECT_THAT(log_.Read(),
              HasSubstr("There is not enough disk space to install browser"));
  EXPECT_THAT(log_.Read(), HasSubstr("INFO: Installer exit with code: 403"));

  EXPECT_EQ(401, Run(L"--silent"));
  EXPECT_THAT(log_.Read(), HasSubstr("INFO: Installer exit with code: 401"));
}

TEST_F(StartupTest, CheckTheInterfaceAnswersBeforeTheEnvironmentVerdict) {
  test::ScopedPlatformLogCapture platform_log;
  EXPECT_EQ(701, Run(L"--check-the-interface --silent"));
  // The probe reports to the platform log only; Wine's shell has none of
  // the internal interfaces.
  std::vector<std::string> entries = log_.Messages();
  ASSERT_EQ(2u, entries.size()) << log_.Read();
  EXPECT_EQ("INFO: -------------------------------------- Start install.",
            entries[0]);
  EXPECT_EQ(
      "INFO: Handled non install cmd line option by win10 default browser "
      "helper, ret code: 701",
      entries[1]);
  EXPECT_THAT(platform_log.Text(),
              HasSubstr("ERROR: Unsupported Win10 version="));
}

// Holds the single-instance mutex on its own thread, as another instance
// would.
class OtherInstance {
 public:
  OtherInstance() {
    thread_ = std::thread([this] {
      SingleInstanceMutex mutex;
      acquired_ = mutex.TryAcquire();
      ::SetEvent(ready_);
      ::WaitForSingleObject(done_, 30000);
    });
    ::WaitForSingleObject(ready_, 30000);
  }
  ~OtherInstance() {
    ::SetEvent(done_);
    thread_.join();
    ::CloseHandle(ready_);
    ::CloseHandle(done_);
  }
  bool acquired() const { return acquired_; }

 private:
  HANDLE ready_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE done_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  bool acquired_ = false;
  std::thread thread_;
};

TEST_F(StartupTest, SecondInstanceExits600) {
  OtherInstance other;
  ASSERT_TRUE(other.acquired());
  EXPECT_EQ(600, Run(L"--silent"));
  EXPECT_THAT(
      log_.Read(),
      HasSubstr("INFO: Another installer instance is already running."));
  EXPECT_THAT(log_.Read(), HasSubstr("INFO: Master installer process id: "));
  EXPECT_THAT(log_.Read(), Not(HasSubstr("Installer exit with code")));
  EXPECT_THAT(log_.Read(), Not(HasSubstr("Temporary path is")));
}

TEST_F(StartupTest, ElevatedCopySkipsTheMutex) {
  OtherInstance other;
  ASSERT_TRUE(other.acquired());
  EXPECT_EQ(-1, Run(L"--run-as-admin"));
  EXPECT_THAT(log_.Read(), Not(HasSubstr("Another installer instance")));
  EXPECT_THAT(log_.Read(), Not(HasSubstr("Lite installer mode.")));
}

// Without the safe search functions the run happens in a relaunched copy,
// here this test binary (secure_environment_unittest.cc), whose exit code
// decides.
TEST_F(StartupTest, RelaunchedCopysVerdictEndsTheRun) {
  facts_.SetKernel32FunctionMissing("SetSearchPathMode");
  {
    test::ScopedEnvironmentVariable copy_exit(L"LITE_TEST_COPY_EXIT", L"-200");
    EXPECT_EQ(-200, Run(L"--lite-test-child=RelaunchedCopy"));
    EXPECT_THAT(log_.Messages(),
                ::testing::Contains(
                    "INFO: Exiting, because of insecure environment."));
  }
  log_.Clear();
  test::ScopedEnvironmentVariable copy_exit(L"LITE_TEST_COPY_EXIT", L"401");
  EXPECT_EQ(401, Run(L"--lite-test-child=RelaunchedCopy"));
  // The copy's code is handed on without a line of the parent's own.
  EXPECT_THAT(log_.Read(), Not(HasSubstr("environment")));
  EXPECT_THAT(log_.Read(), Not(HasSubstr("Installer exit with code")));

  // The elevated copy does not relaunch; with no DLL beside it the run
  // goes on.
  EXPECT_EQ(-1, Run(L"--run-as-admin"));
  EXPECT_THAT(log_.Read(), HasSubstr("INFO: Runned in secure environment."));
}

}  // namespace
}  // namespace lite_installer
