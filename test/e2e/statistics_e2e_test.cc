// The statistics requests of real silent installations by
// lite_installer_local.exe, as the loopback statistics service reads them.

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "base/strings.h"
#include "chrome/installer/norvel/util/file_version.h"
#include "chrome/installer/norvel/util/registry.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "logging/user_id.h"
#include "test/e2e/e2e_support.h"
#include "test/support/stat_request.h"
#include "test/support/test_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr wchar_t kHandOver[] = L"install_stat";

class StatisticsE2ETest : public e2e::LocalInstallTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(LocalInstallTest::SetUp());
    for (const wchar_t* name : {kHandOver, L"npv", L"pv"})
      installer::RemoveProductValue(name);
  }

  // The statistics requests of the run, decoded, once `expected` arrived
  // (each left before the installer exited; the service may still be
  // reading the last).
  std::vector<test::StatRequest> Stats(size_t expected) {
    return test::WaitForStatRequests(*services_, expected, 5000);
  }

  static std::vector<std::string> Events(
      const std::vector<test::StatRequest>& requests) {
    std::vector<std::string> events;
    for (const test::StatRequest& request : requests)
      events.push_back(request.Event());
    return events;
  }

  static bool IsX64System() {
    if (sizeof(void*) == 8)
      return true;
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
  }

  static std::string ArchiveSize() {
    std::string bytes;
    EXPECT_TRUE(test::ReadFileToString(
        test::ExecutableDir() + L"\\fake_setup_signed.exe", &bytes));
    return std::to_string(bytes.size());
  }
};

TEST_F(StatisticsE2ETest, SilentSuccessSendsEveryStageInOrder) {
  ServeArchive(L"fake_setup_signed.exe");
  ASSERT_EQ(0u, Run(L"--silent --send-statistics"));
  const std::vector<test::StatRequest> stats = Stats(6);
  ASSERT_THAT(Events(stats),
              ElementsAre("installer_started", "download/started",
                          "download_attempt", "download/finished",
                          "setup/setup_exe_launched",
                          "setup/setup_exe_exited"))
      << Log();

  const std::string lite_ver = installer::GetFileVersionString(
      test::ExecutableDir() + L"\\lite_installer_local.exe");
  std::string ui = broupdater::GetUserId();
  ASSERT_FALSE(ui.empty());
  // Dashes delimit the variable list, so the identifier's become "_".
  std::replace(ui.begin(), ui.end(), '-', '_');
  for (size_t i = 0; i < stats.size(); ++i) {
    const test::StatRequest& request = stats[i];
    SCOPED_TRACE(request.Event());
    EXPECT_EQ("72992", request.counter_id);
    EXPECT_EQ("extended_stat", request.path);
    EXPECT_EQ("local", request.Get("brand_id"));
    EXPECT_TRUE(request.Has("partner_id"));
    EXPECT_EQ("", request.Get("partner_id"));
    EXPECT_TRUE(request.Has("old_ver"));
    EXPECT_EQ("", request.Get("old_ver"));
    EXPECT_EQ("local_1/a", request.Get("testids"));
    EXPECT_EQ("false", request.Get("launched"));
    EXPECT_EQ(ui, request.Get("ui"));
    EXPECT_EQ(lite_ver, request.Get("lite_ver"));
    EXPECT_EQ("lite", request.Get("installer_type"));
    EXPECT_EQ("0", request.Get("old_style"));
    // Known once the archive is there.
    const bool downloaded = i >= 3;
    EXPECT_EQ(downloaded ? "9.8.7.6" : "", request.Get("new_ver"));
    EXPECT_EQ(downloaded ? "normal" : "", request.Get("install_type"));
    EXPECT_EQ(downloaded, request.Has("new_ver"));
  }
  // The variables go out in name order.
  std::vector<std::string> names = stats[0].Names();
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));

  EXPECT_EQ("100", stats[0].Get("dpi"));
  EXPECT_EQ(std::to_string(::GetSystemMetrics(SM_CXSCREEN)) + "x" +
                std::to_string(::GetSystemMetrics(SM_CYSCREEN)),
            stats[0].Get("resolution"));

  const test::StatRequest& attempt = stats[2];
  EXPECT_EQ("success", attempt.Get("status"));
  EXPECT_EQ("1", attempt.Get("attempt_number"));
  EXPECT_EQ(ArchiveSize(), attempt.Get("downloaded_size"));
  EXPECT_EQ(ArchiveSize(), attempt.Get("total_size"));
  EXPECT_FALSE(attempt.Has("error"));
  EXPECT_FALSE(attempt.Has("redirect"));
  EXPECT_EQ(IsX64System(), attempt.Has("x64"));
  // Escaped twice: read once, the URL is still escaped once.
  EXPECT_EQ("https%3A%2F%2Flocalhost%3A" + std::to_string(LITE_LOCAL_HTTPS_PORT) +
                "%2Fbrowser%2Flocal%2Fbrowser%2Dsetup.arc%3Ffrom_installer%3Dtrue",
            attempt.Get("url"));

  EXPECT_TRUE(stats[3].Has("download_time"));
  // The prefix has no ConsentPromptBehaviorAdmin: no prompts.
  EXPECT_EQ("100", stats[4].Get("uac"));
  EXPECT_EQ("0", stats[5].Get("error"));
  EXPECT_TRUE(stats[5].Has("setup_time"));

  // The raw path, as it went out.
  std::vector<test::RecordedRequest> raw = RequestsTo("/installstats/");
  ASSERT_FALSE(raw.empty());
  EXPECT_THAT(raw[0].path, HasSubstr(",-testids=local_1%2Fa,"));
  EXPECT_THAT(raw[2].path, HasSubstr("-url=https%253A%252F%252Flocalhost"));
}

TEST_F(StatisticsE2ETest, FailingStages) {
  // A refused archive: the verification error, and nothing of setup.
  ServeArchive(L"fake_setup.exe");
  EXPECT_EQ(402u, Run(L"--silent"));
  EXPECT_THAT(Events(Stats(5)),
              ElementsAre("installer_started", "download/started",
                          "download_attempt", "download/finished",
                          "verification/error"));

  // Setup's exit code 7 counts as a failed start; 3 is good.
  ASSERT_TRUE(services_->Reset());
  ASSERT_TRUE(services_->AddRule(kReportPath, R"({"text": "ok"})"));
  ServeArchive(L"fake_setup_signed.exe");
  EXPECT_EQ(7u, Run(L"--silent --fake-setup-exit-code=7"));
  std::vector<test::StatRequest> stats = Stats(6);
  ASSERT_FALSE(stats.empty());
  EXPECT_EQ("setup/setup_exe_exited", stats.back().Event());
  EXPECT_EQ("FailedToStart", stats.back().Get("error"));

  ASSERT_TRUE(services_->Reset());
  ASSERT_TRUE(services_->AddRule(kReportPath, R"({"text": "ok"})"));
  ServeArchive(L"fake_setup_signed.exe");
  Run(L"--silent --fake-setup-exit-code=3");
  stats = Stats(6);
  ASSERT_FALSE(stats.empty());
  EXPECT_EQ("setup/setup_exe_exited", stats.back().Event());
  EXPECT_FALSE(stats.back().Has("error"));
}

// The statistics choice decides only what setup is told: a brand that says
// no sends the installer's own events all the same.
TEST_F(StatisticsE2ETest, ABrandThatDisallowsStatisticsSendsTheSameEvents) {
  std::vector<std::string> events[2];
  bool told[2] = {};
  const wchar_t* const kRuns[2] = {L"--silent", L"--silent --brand-name=nostats"};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(services_->Reset());
    ASSERT_TRUE(services_->AddRule(kReportPath, R"({"text": "ok"})"));
    ServeArchive(L"fake_setup_signed.exe");
    ASSERT_EQ(0u, Run(kRuns[i]));
    std::optional<base::Json> report = SetupReport();
    ASSERT_TRUE(report.has_value()) << Log();
    told[i] = (*report)["switches"].contains("send-statistics");
    events[i] = Events(Stats(6));
  }
  EXPECT_TRUE(told[0]);
  EXPECT_FALSE(told[1]);
  EXPECT_EQ(6u, events[1].size());
  EXPECT_EQ(events[0], events[1]);
}

// Setup finds the common parameters under "install_stat"; they are gone
// when the installer has exited. One left by an earlier run is inherited.
TEST_F(StatisticsE2ETest, HandOverValueWhileSetupRuns) {
  ASSERT_TRUE(installer::StoreProductValue(kHandOver, L"stale_key\nleft\n"));
  ServeArchive(L"fake_setup_signed.exe");
  ASSERT_EQ(0u, Run(L"--silent"));
  std::optional<base::Json> report = SetupReport();
  ASSERT_TRUE(report.has_value()) << Log();
  const std::string text =
      (*report)["product_key"].value("install_stat", std::string());
  EXPECT_THAT(text, HasSubstr("brand_id\nlocal\n"));
  EXPECT_THAT(text, HasSubstr("installer_type\nlite\n"));
  EXPECT_THAT(text, HasSubstr("new_ver\n9.8.7.6\n"));
  EXPECT_THAT(text, HasSubstr("stale_key\nleft\n"));
  EXPECT_EQ(L"", installer::ReadProductValue(kHandOver));
  const std::vector<test::StatRequest> stats = Stats(6);
  ASSERT_FALSE(stats.empty());
  EXPECT_EQ("left", stats[0].Get("stale_key"));
}

}  // namespace
