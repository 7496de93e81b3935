// Runs the start-up sequence in-process with chosen switches and machine
// facts, and checks its exit codes and log lines.

#include "chrome/installer/lite_installer/startup.h"

#include <windows.h>

#include <string>
#include <thread>

#include "base/command_line.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/lite_installer/single_instance.h"
#include "base/system_facts.h"
#include "base/windows_version.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "logging/file_logger.h"
#include "test/support/matchers.h"
#include "test/support/registry_override.h"
#include "test/support/test_support.h"

namespace lite_installer {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class FakeFacts : public base::SystemFacts {
 public:
  bool IsProcessorFeaturePresent(DWORD feature) const override {
    if (feature == PF_XMMI64_INSTRUCTIONS_AVAILABLE)
      return sse2;
    if (feature == PF_SSE3_INSTRUCTIONS_AVAILABLE)
      return sse3;
    return base::SystemFacts::IsProcessorFeaturePresent(feature);
  }
  std::optional<uint64_t> GetFreeDiskSpace(const wchar_t*) const override {
    return free_space;
  }
  bool sse2 = true;
  bool sse3 = true;
  uint64_t free_space = 100ull << 30;
};

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

class StartupTest : public testing::Test {
 protected:
  void SetUp() override {
    SetInstallerFactoryForTesting(&CreateOfflineInstaller);
  }
  void TearDown() override {
    SetInstallerFactoryForTesting(nullptr);
    broupdater::SetFileLogger(nullptr);
    base::CommandLine::InitForCurrentProcessForTesting(::GetCommandLineW());
  }

  int Run(const std::wstring& switches) {
    base::CommandLine::InitForCurrentProcessForTesting(
        L"\"C:\\dl\\lite_installer.exe\" " + switches);
    return wWinMain(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW);
  }
  std::string Log() {
    std::string text;
    test::ReadFileToString(dir_.Append(L"lite_installer.log"), &text);
    return text;
  }
  // The entry texts of the log, without headers and function suffixes.
  std::vector<std::string> Entries() {
    std::vector<std::string> entries;
    for (const std::string& line : test::SplitLines(Log())) {
      size_t level = line.find(' ', 24);  // after the date, time and ids
      size_t suffix = line.rfind(" (");
      if (level == std::string::npos || suffix == std::string::npos)
        continue;
      entries.push_back(line.substr(level + 1, suffix - level - 1));
    }
    return entries;
  }

  test::ScopedTempDir dir_;
  test::ScopedTempPathOverride tmp_{dir_.path()};
  FakeFacts facts_;
  base::ScopedSystemFactsForTesting scoped_facts_{&facts_};
  test::ScopedRegistryOverride registry_;
};

TEST_F(StartupTest, SilentRunWalksTheSequenceInOrder) {
  EXPECT_EQ(401, Run(L"--silent --brand-name=yb"));
  // These lines appear in this order, with other lines between them.
  const std::vector<std::string> expected_prefixes = {
      "INFO: -------------------------------------- Start install.",
      "INFO: Can't find secure environment.",
      "INFO: Lite installer mode.",
      "INFO: Installer process id: " + std::to_string(::GetCurrentProcessId()),
      "INFO: Temporary path is: ",
      "INFO: Reset brand info.",
      "WARNING: Partner package is empty.",
      "INFO: Fetching definedyb package",
      "INFO: Fetching default package",
      "WARNING: Brand package is empty.",
      "INFO: Brand id: norvel",
      "INFO: Crash reporter is not built yet; annotation dropped: brand_id",
      "INFO: Crash reporter is not built yet; annotation dropped: brand_name",
      "INFO: Crash reporter is not built yet; annotation dropped: "
      "default_language",
      "INFO: Installing in silent mode.",
      "INFO: Install Browser.",
      "ERROR: Offline test installer: no download.",
      "INFO: Installer exit with code: 401",
  };
  std::vector<std::string> entries = Entries();
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
      << Log();
  EXPECT_EQ(entries.front(), expected_prefixes.front());
  EXPECT_EQ(entries.back(), expected_prefixes.back());
  EXPECT_THAT(
      Log(),
      HasSubstr("Temporary path is: " +
                std::string(dir_.path().begin(), dir_.path().end()) + "\\ ("));
  EXPECT_THAT(Log(), HasSubstr("ERROR: Module was not downloaded: "));
  // The sequence's own lines carry the entry point's name.
  EXPECT_THAT(Log(), test::ContainsPattern(
                         "Lite installer mode\\. \\(wWinMain:[0-9]+\\)"));
}

TEST_F(StartupTest, SemiSilentActsAsSilent) {
  EXPECT_EQ(401, Run(L"-Semi-Silent"));
  EXPECT_THAT(Log(), HasSubstr("INFO: Installing in silent mode."));
}

TEST_F(StartupTest, MissingSse3EndsSilentRunWith404AndNoMessage) {
  facts_.sse3 = false;
  EXPECT_EQ(404, Run(L"--silent"));
  EXPECT_THAT(Log(),
              test::ContainsPattern("ERROR: CPU is not supported - [0-9]+, "));
  EXPECT_THAT(Log(), Not(HasSubstr("Processor refusal")));
  EXPECT_THAT(Log(), Not(HasSubstr("Installer exit with code")));
  EXPECT_THAT(Log(), Not(HasSubstr("Installing in silent mode.")));
}

TEST_F(StartupTest, MissingSse2RefusesWithReason483WhenWindowed) {
  facts_.sse2 = false;
  EXPECT_EQ(404, Run(L""));
  EXPECT_THAT(Log(), HasSubstr("reason 483"));
  facts_.sse2 = true;
  facts_.sse3 = false;
  int reason = 0;
  EXPECT_FALSE(IsCpuSupported(&reason));
  EXPECT_EQ(484, reason);
  facts_.sse3 = true;
  EXPECT_TRUE(IsCpuSupported(&reason));
}

TEST_F(StartupTest, NotEnoughDiskSpaceStopsOnlyWindowedRuns) {
  facts_.free_space = kRequiredDiskSpace - 1;
  EXPECT_EQ(403, Run(L""));
  EXPECT_THAT(Log(),
              HasSubstr("There is not enough disk space to install browser"));
  EXPECT_THAT(Log(), HasSubstr("INFO: Installer exit with code: 403"));

  EXPECT_EQ(401, Run(L"--silent"));
  EXPECT_THAT(Log(), HasSubstr("INFO: Installer exit with code: 401"));
}

TEST_F(StartupTest, CheckTheInterfaceAnswersBeforeTheEnvironmentVerdict) {
  EXPECT_EQ(701, Run(L"--check-the-interface --silent"));
  std::vector<std::string> entries = Entries();
  ASSERT_EQ(3u, entries.size()) << Log();
  EXPECT_EQ("INFO: -------------------------------------- Start install.",
            entries[0]);
  EXPECT_EQ(
      "INFO: Handled non install cmd line option by win10 default browser "
      "helper, ret code: 701",
      entries[2]);
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
      Log(), HasSubstr("INFO: Another installer instance is already running."));
  EXPECT_THAT(Log(), HasSubstr("INFO: Master installer process id: "));
  EXPECT_THAT(Log(), Not(HasSubstr("Installer exit with code")));
  EXPECT_THAT(Log(), Not(HasSubstr("Temporary path is")));
}

TEST_F(StartupTest, ElevatedCopySkipsTheMutex) {
  OtherInstance other;
  ASSERT_TRUE(other.acquired());
  EXPECT_EQ(-1, Run(L"--run-as-admin"));
  EXPECT_THAT(Log(), Not(HasSubstr("Another installer instance")));
  EXPECT_THAT(Log(), Not(HasSubstr("Lite installer mode.")));
}

}  // namespace
}  // namespace lite_installer
