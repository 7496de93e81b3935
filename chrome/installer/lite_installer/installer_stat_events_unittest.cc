// The statistics events of an installation, as the service would read them.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/strings.h"
#include "brand/brand_package_info.h"
#include "chrome/installer/lite_installer/delayed_params.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/norvel/util/network/async_http_request_sender.h"
#include "chrome/installer/norvel/util/statistics/install_stat_sender.h"
#include "chrome/installer/norvel/util/statistics/stat_event.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/fake_services.h"
#include "test/support/fake_system_facts.h"
#include "test/support/fixed_distrib_params.h"
#include "test/support/recording_stat_sender.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_command_line.h"
#include "test/support/stat_request.h"
#include "test/support/test_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::StartsWith;

constexpr wchar_t kPolicyKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

// The real installation engine whose statistics are recorded, with a short
// pause between attempts.
class StatsInstaller : public Installer {
 public:
  using Installer::SendDownloadStartedEvent;
  using Installer::SendInstallerStartedEvent;
  using Installer::SendSetupExitedEvent;
  using Installer::SendSetupLaunchedEvent;

  StatsInstaller(BrandPackageInfo* brand, DistribInfoParams* params)
      : Installer(nullptr, brand, params, false) {
    test::StatRecord::InstallInto(stat_reporter(), record);
  }
  DWORD GetRetryDelayMs() override { return 1; }
  bool IsX64System() override { return false; }

  std::shared_ptr<test::StatRecord> record =
      std::make_shared<test::StatRecord>();
};

// A child reports the dpi its installer_started event carries.
LITE_CHILD_MAIN(installer_started_dpi) {
  test::ScopedRegistryOverride registry;
  StatsInstaller installer(nullptr, nullptr);
  installer.SendInstallerStartedEvent();
  const std::vector<test::StatRequest> requests = installer.record->Requests();
  if (requests.size() != 1)
    return -1;
  return std::stoi(requests[0].Get("dpi"));
}

class InstallerStatEventsTest : public test::TestWithServices {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TestWithServices::SetUp());
    ASSERT_TRUE(server().Reset());
    registry_.emplace(Hives());
    ASSERT_TRUE(registry_->ok());
    // One URL in the list: the brand's main one.
    facts_.SetWindowsVersion(10, 0, 7601);
  }

  // Obtains the archive as the installation does.
  int GetModule(StatsInstaller* installer) {
    const std::wstring path = installer->GetModulePath();
    const int result = installer->GetModule(path, nullptr);
    ::DeleteFileW(path.c_str());
    return result;
  }

  // Runs the fake setup, which exits with `code`.
  bool RunSetup(StatsInstaller* installer, int code) {
    const bool ok = installer->RunModule(
        test::ExecutableDir() + L"\\fake_setup.exe",
        base::CommandLine::FromString(
            L"x --fake-setup-exit-code=" + std::to_wstring(code) +
            L" \"--fake-setup-report=" + dir_.Append(L"report.json") + L"\""));
    // Exit codes 7 and 8 leave their kind in the process-wide cell.
    lite_installer::GetDelayedParams().error_kind = kInstallErrorNone;
    return ok;
  }

  // The machine hive holds the roots that HTTPS needs: only tests that
  // touch no HTTPS replace it.
  virtual int Hives() const { return test::ScopedRegistryOverride::kCurrentUser; }

  test::ScopedTempDir dir_;
  std::optional<test::ScopedRegistryOverride> registry_;
  test::ScopedCommandLine command_line_{L"inst.exe"};
  test::FakeSystemFacts facts_;
  BrandPackageInfo brand_{dir_.path() + L"\\"};
};

TEST_F(InstallerStatEventsTest, DpiRoundsHalvesAwayFromZero) {
  for (auto [factor, dpi] : {std::pair{L"1.125", 113}, {L"1.5", 150}}) {
    test::ChildProcess child = test::StartChild(
        "installer_started_dpi",
        std::wstring(L"--force-device-scale-factor=") + factor);
    ASSERT_TRUE(child.Wait(30000));
    EXPECT_EQ(static_cast<DWORD>(dpi), child.exit_code()) << factor;
  }
}

// A first attempt answered 503: the error event comes before its attempt
// event, then the successful attempt and the finished event; the version and
// install type travel from the finished event on.
TEST_F(InstallerStatEventsTest, FailedAttemptThenSuccess) {
  ASSERT_TRUE(server().AddRule("/dl/a.arc", R"({"size": 1000})"));
  ASSERT_TRUE(server().AddRule("/dl/a.arc", R"({"status": 503})", false, 1));
  brand_.setup_url_ = server().HttpUrl("/dl/a.arc");
  StatsInstaller installer(&brand_, nullptr);
  ASSERT_EQ(0, GetModule(&installer));

  const std::vector<test::StatRequest> requests = installer.record->Requests();
  ASSERT_THAT(installer.record->Events(),
              ElementsAre("download/started", "download/error",
                          "download_attempt", "download_attempt",
                          "download/finished"));
  const std::string url = server().HttpUrl("/dl/a.arc?from_installer=true");
  // Read once by the service, the URL is still escaped once.
  const std::string once = installer::EscapeForStatistics(url);
  EXPECT_THAT(requests[1].Get("error"),
              StartsWith("attempt_1_final_query_info_503_"));
  EXPECT_EQ(once, requests[1].Get("url"));
  EXPECT_FALSE(requests[1].Has("redirect"));
  EXPECT_EQ("failed", requests[2].Get("status"));
  EXPECT_THAT(requests[2].Get("error"), StartsWith("final_query_info_503_"));
  EXPECT_EQ("1", requests[2].Get("attempt_number"));
  EXPECT_EQ("success", requests[3].Get("status"));
  EXPECT_EQ("2", requests[3].Get("attempt_number"));
  EXPECT_EQ("1000", requests[3].Get("downloaded_size"));
  EXPECT_EQ("1000", requests[3].Get("total_size"));
  EXPECT_EQ(once, requests[3].Get("url"));
  EXPECT_FALSE(requests[3].Has("error"));
  EXPECT_FALSE(requests[3].Has("redirect"));
  EXPECT_FALSE(requests[3].Has("x64"));
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_FALSE(requests[i].Has("new_ver")) << i;
    EXPECT_FALSE(requests[i].Has("install_type")) << i;
  }
  EXPECT_EQ("0.0.0.0", requests[4].Get("new_ver"));
  EXPECT_EQ("normal", requests[4].Get("install_type"));
  EXPECT_EQ("0", requests[4].Get("download_time"));
}

TEST_F(InstallerStatEventsTest, ALoneFailingUrlSendsSixPairsAndNoFinish) {
  ASSERT_TRUE(server().AddRule("/dl/bad.arc", R"({"status": 404})"));
  brand_.setup_url_ = server().HttpUrl("/dl/bad.arc");
  StatsInstaller installer(&brand_, nullptr);
  EXPECT_EQ(kInstallErrorDownload, GetModule(&installer));
  std::vector<std::string> expected = {"download/started"};
  for (int i = 0; i < 6; ++i) {
    expected.push_back("download/error");
    expected.push_back("download_attempt");
  }
  EXPECT_THAT(installer.record->Events(), ElementsAreArray(expected));
  const std::vector<test::StatRequest> requests = installer.record->Requests();
  ASSERT_EQ(13u, requests.size());
  EXPECT_THAT(requests[11].Get("error"), StartsWith("attempt_6_"));
  EXPECT_EQ("6", requests[12].Get("attempt_number"));
}

// A redirect to another host sends that host alone.
TEST_F(InstallerStatEventsTest, RedirectSendsTheFinalHost) {
  ASSERT_TRUE(server().AddRule("/dl/main.arc", R"({"size": 500})"));
  ASSERT_TRUE(server().AddRule(
      "/dl/moved.arc",
      R"({"redirect": "http://localhost:)" +
          std::to_string(server().http_port()) + R"(/dl/main.arc"})"));
  brand_.setup_url_ = server().HttpUrl("/dl/moved.arc");
  StatsInstaller installer(&brand_, nullptr);
  ASSERT_EQ(0, GetModule(&installer));
  const std::vector<test::StatRequest> requests = installer.record->Requests();
  ASSERT_EQ(3u, requests.size());
  EXPECT_EQ("localhost", requests[1].Get("redirect"));
  EXPECT_EQ("500", requests[1].Get("downloaded_size"));
}

// Once a cancel is confirmed no attempt leaves; setup's events still do.
TEST_F(InstallerStatEventsTest, CancelSilencesAttemptsOnly) {
  ASSERT_TRUE(server().AddRule("/dl/a.arc", R"({"size": 100})"));
  ASSERT_TRUE(server().AddRule("/dl/a.arc", R"({"status": 503})", false, 1));
  brand_.setup_url_ = server().HttpUrl("/dl/a.arc");
  StatsInstaller installer(&brand_, nullptr);
  installer.IncrementCancelCount();
  ASSERT_EQ(0, GetModule(&installer));
  installer.SendSetupLaunchedEvent();
  installer.SendSetupExitedEvent(true);
  EXPECT_THAT(installer.record->Events(),
              ElementsAre("download/started", "download/finished",
                          "setup/setup_exe_launched",
                          "setup/setup_exe_exited"));
}

class InstallerSetupEventsTest : public InstallerStatEventsTest {
 protected:
  int Hives() const override {
    return test::ScopedRegistryOverride::kCurrentUser |
           test::ScopedRegistryOverride::kLocalMachine;
  }
};

TEST_F(InstallerSetupEventsTest, ByExitCodeUacAndOldVersion) {
  struct Case {
    int code;
    const char* error;  // null: no key
  } cases[] = {{0, "0"}, {1, nullptr}, {3, nullptr}, {5, nullptr},
               {9, "9"}, {7, "FailedToStart"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    StatsInstaller installer(nullptr, nullptr);
    installer.SendSetupExitedEvent(RunSetup(&installer, c.code));
    const test::StatRequest exited = installer.record->Requests().at(0);
    EXPECT_EQ("setup/setup_exe_exited", exited.Event());
    EXPECT_EQ(c.error != nullptr, exited.Has("error"));
    if (c.error) {
      EXPECT_EQ(c.error, exited.Get("error"));
    }
    EXPECT_EQ("0", exited.Get("setup_time"));
  }

  // No consent prompts: "100"; prompts: 0 directly, 1 through the elevated
  // copy, whose exit code 400 is its success.
  StatsInstaller installer(nullptr, nullptr);
  installer.SendSetupLaunchedEvent();
  ASSERT_TRUE(test::WriteRegistryValue(HKEY_LOCAL_MACHINE, kPolicyKey,
                                       L"ConsentPromptBehaviorAdmin", DWORD{5}));
  installer.SendSetupLaunchedEvent();
  installer.SetElevatedProcessHolder(
      std::make_unique<Installer::ElevatedProcessHolder>());
  installer.SendSetupLaunchedEvent();
  installer.SendSetupExitedEvent(true);
  installer.stat_reporter()->SetOldVersion("1.0.0.0");
  installer.SendSetupLaunchedEvent();
  const std::vector<test::StatRequest> requests = installer.record->Requests();
  ASSERT_EQ(5u, requests.size());
  EXPECT_EQ("100", requests[0].Get("uac"));
  EXPECT_EQ("0", requests[1].Get("uac"));
  EXPECT_EQ("1", requests[2].Get("uac"));
  EXPECT_FALSE(requests[3].Has("error"));
  EXPECT_EQ("setup/setup_exe_launched", requests[2].Event());
  EXPECT_EQ("update/setup_exe_launched", requests[4].Event());
}

TEST_F(InstallerStatEventsTest, InstallButtonSendsBothBoxes) {
  StatsInstaller installer(&brand_, nullptr);
  installer.SendInstallButtonClickedEvent(false, false);
  installer.SendInstallButtonClickedEvent(true, true);
  const std::vector<test::StatRequest> requests = installer.record->Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ("extended_stat", requests[0].path);
  EXPECT_EQ("install_browser_button_clicked", requests[0].Get("action"));
  EXPECT_EQ("0", requests[0].Get("checkbox_default"));
  EXPECT_EQ("0", requests[0].Get("checkbox_sendstat"));
  EXPECT_EQ("1", requests[1].Get("checkbox_default"));
  EXPECT_EQ("1", requests[1].Get("checkbox_sendstat"));
}

// Window actions on one thread, installation events and parameter changes
// on another: the reinstall-dialog counter belongs to the window actions
// alone.
TEST_F(InstallerStatEventsTest, WindowActionsAndInstallEventsFromTwoThreads) {
  constexpr int kEach = 200;
  StatsInstaller installer(&brand_, nullptr);
  std::thread window([&] {
    for (int i = 0; i < kEach; ++i) {
      switch (i % 3) {
        case 0:
          installer.SendClickedButtonEvent(L"close");
          break;
        case 1:
          installer.SendClickedLinkEvent(L"https://legal.example/a b");
          break;
        default:
          installer.SendChosenCheckboxEvent(L"sendstat");
      }
    }
  });
  for (int i = 0; i < kEach; ++i) {
    installer.stat_reporter()->SetNewVersion("1.0.0." + std::to_string(i));
    installer.SendDownloadStartedEvent();
  }
  window.join();

  int dialog = 0;
  int extended = 0;
  for (const test::StatRequest& request : installer.record->Requests()) {
    if (request.path == "nrbrowser_reinstall_dialog") {
      ++dialog;
      EXPECT_EQ("72696", request.counter_id);
      EXPECT_EQ("liteinstall", request.Get("dialog_window"));
      EXPECT_FALSE(request.Has("action"));
    } else {
      ++extended;
      EXPECT_EQ("extended_stat", request.path);
      EXPECT_EQ("72992", request.counter_id);
      EXPECT_FALSE(request.Has("dialog_window"));
      EXPECT_EQ("download/started", request.Event());
    }
  }
  EXPECT_EQ(kEach, dialog);
  EXPECT_EQ(kEach, extended);
}

// A distribution parameter full of delimiters and characters outside ASCII
// reaches the service whole (less the three delimiters the variable list
// reserves) in one request per event, and leaves the others intact.
TEST_F(InstallerStatEventsTest, HostileParameterValuesStayInTheirVariable) {
  const std::string hostile =
      "a,b-c=d/e?f#g%h i\xC3\xBC\xD0\x96\xE4\xB8\xAD";
  test::FixedDistribParams params;
  params.values["banerid"] = hostile;
  params.values["norveluid"] = "plain";
  brand_.brand_id_ = "brand";
  StatsInstaller installer(&brand_, &params);
  installer.stat_reporter()->set_sender_for_testing(
      std::make_unique<install_util::AsyncHttpRequestSender>());
  installer.stat_reporter()->set_origin_for_testing(server().HttpsUrl(""));
  installer.SendInstallerStartedEvent();
  installer.SendDownloadStartedEvent();
  installer.SendClickedButtonEvent(L"install");
  const std::vector<test::StatRequest> requests =
      test::WaitForStatRequests(server(), 3, 15000, since_);
  ASSERT_EQ(3u, requests.size()) << Log();
  EXPECT_EQ(3u, NewRequests().size());
  for (const test::StatRequest& request : requests) {
    EXPECT_EQ("a_b_c_d/e?f#g%h i\xC3\xBC\xD0\x96\xE4\xB8\xAD",
              request.Get("banner_id"));
    EXPECT_EQ("plain", request.Get("norvel_uid"));
    EXPECT_EQ("brand", request.Get("brand_id"));
    EXPECT_EQ("lite", request.Get("installer_type"));
  }
  EXPECT_EQ("installer_started", requests[0].Get("action"));
  EXPECT_EQ("download/started", requests[1].Event());
  EXPECT_EQ("install", requests[2].Get("clicked_button"));
}

}  // namespace
