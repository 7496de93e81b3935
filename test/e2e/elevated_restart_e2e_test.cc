// Windowed installations of lite_installer_local.exe through its elevated
// copy. Under Wine every user is an administrator and "runas" starts the
// copy without a prompt, so the copy is a real second process of the same
// file, sharing its data section and the named events.

#include <windows.h>

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/json.h"
#include "base/strings.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/e2e/e2e_support.h"
#include "test/support/installer_window_driver.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_test_log.h"
#include "test/support/stat_request.h"
#include "test/support/test_support.h"
#include "test/support/ui_input.h"

namespace {

using ::testing::HasSubstr;

constexpr wchar_t kPolicyKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr char kStartLine[] = "INFO: Start the elevated installer: ";

class ElevatedRestartE2ETest : public e2e::LocalInstallTest {
 protected:
  // A temporary directory whose path has spaces: every path in setup's
  // line is quoted once in it and again inside the copy's line.
  void SetUp() override {
    LocalInstallTest::SetUp();
    temp_dir_ = dir_.Append(L"temp with spaces");
    ASSERT_TRUE(::CreateDirectoryW(temp_dir_.c_str(), nullptr));
    run_log_ = std::make_unique<test::TestLog>(temp_dir_);
  }

  // Starts a windowed run as Wine's administrator and waits for its window.
  void Start(const std::wstring& switches) {
    process_ = e2e::StartInstaller(
        L"lite_installer_local.exe", switches + L" \"--fake-setup-report=" + Report() + L"\"",
        temp_dir_, {{L"LITE_TEST_ADMIN_GROUP", L""}});
    driver_ = test::InstallerWindowDriver(process_.pid());
    ASSERT_TRUE(driver_.WaitForWindow(90000)) << RunLog();
  }
  DWORD ExitCode(DWORD timeout_ms = e2e::kRunTimeoutMs) {
    if (!process_.WaitPumpingMessages(timeout_ms)) {
      process_.Terminate();
      return 0xDEAD;
    }
    return process_.exit_code();
  }
  std::string RunLog() const { return run_log_->Read(); }
  // The process that logged `text` (0: none).
  DWORD LoggedBy(const std::string& text) const {
    for (const test::LogEntry& entry : run_log_->Entries()) {
      if (entry.message.find(text) != std::string::npos)
        return entry.process_id;
    }
    return 0;
  }
  bool WaitForLine(const std::string& text, DWORD timeout_ms = 60000) {
    return test::PumpUntil([&] { return LoggedBy(text) != 0; }, timeout_ms);
  }
  // The line the interactive installer prepared for setup, as it started
  // the copy.
  base::CommandLine PreparedSetupLine() const {
    for (const test::LogEntry& entry : run_log_->Entries()) {
      if (entry.message.rfind(kStartLine, 0) != 0)
        continue;
      const std::string started = entry.message.substr(std::strlen(kStartLine));
      return base::CommandLine::FromString(
          base::CommandLine::FromString(base::UTF8ToWide(started)).GetSwitchValue("setup-cmd-line"));
    }
    return base::CommandLine();
  }
  std::string SetupLaunchedUac() {
    for (const test::StatRequest& request : test::WaitForStatRequests(*services_, 64, 3000)) {
      if (request.Get("stage") == "setup_exe_launched")
        return request.Get("uac");
    }
    return "(none)";
  }

  std::wstring temp_dir_;
  std::unique_ptr<test::TestLog> run_log_;
  test::ChildProcess process_;
  test::InstallerWindowDriver driver_{0};
};

// Both moments of the restart: when Install is pressed (mode 0) and when
// the window opens (mode 1). The copy runs setup with the window's line and
// the data files the interactive installer wrote; the window follows it.
TEST_F(ElevatedRestartE2ETest, TheCopyRunsSetupForTheWindow) {
  for (const wchar_t* mode : {L"", L"--distr-info-params=uac=1"}) {
    SCOPED_TRACE(testing::Message() << "mode switches: " << mode);
    services_->Reset();
    ASSERT_TRUE(services_->AddRule(kReportPath, R"({"text": "ok"})"));
    ServeArchive(L"fake_setup_signed.exe");
    ::DeleteFileW(Report().c_str());
    run_log_->Clear();
    const std::wstring release = dir_.Append(L"release");
    ::DeleteFileW(release.c_str());
    Start(std::wstring(mode) + L" --do-not-launch-browser \"--fake-setup-hold-until=" + release +
          L"\"");
    ASSERT_TRUE(driver_.ClickControl(test::kInstallButtonId));
    ASSERT_TRUE(driver_.WaitForControl(test::kProgressBarId)) << RunLog();
    // Setup holds: the window shows what the copy posted.
    ASSERT_TRUE(test::PumpUntil([&] { return test::PathExists(Report()); }, 90000)) << RunLog();
    EXPECT_TRUE(test::PumpUntil([&] {
      const std::wstring status = driver_.StatusText();
      return status.size() > 3 && status.substr(status.size() - 3) == L"40%";
    })) << base::WideToUTF8(driver_.StatusText());
    EXPECT_TRUE(test::PumpUntil(
        [&] { return !::IsWindowVisible(::GetDlgItem(driver_.window(), test::kCancelButtonId)); }));
    ASSERT_TRUE(test::WriteStringToFile(release, ""));
    EXPECT_EQ(400u, ExitCode()) << RunLog();

    std::optional<base::Json> report = SetupReport();
    ASSERT_TRUE(report.has_value()) << RunLog();
    const DWORD copy_pid = LoggedBy("INFO: Start installer as admin");
    ASSERT_NE(0u, copy_pid) << RunLog();
    EXPECT_NE(process_.pid(), copy_pid);
    EXPECT_EQ(static_cast<int64_t>(copy_pid), (*report)["parent_process_id"].get<int64_t>());
    const base::Json& switches = (*report)["switches"];
    EXPECT_EQ(std::to_string(reinterpret_cast<uintptr_t>(driver_.window())),
              switches["progress-window"]);
    EXPECT_EQ("lite", switches["source"]);
    EXPECT_FALSE(switches.contains("disable-uac"));
    const struct {
      const char* name;
      const wchar_t* resource;
    } kDataFiles[] = {{"installerdata", MAKEINTRESOURCEW(305)},
                      {"clids-file", MAKEINTRESOURCEW(306)},
                      {"abt-config-resource-file", L"ABT_CONFIG"}};
    for (const auto& data_file : kDataFiles) {
      SCOPED_TRACE(data_file.name);
      ASSERT_TRUE((*report)["files"].contains(data_file.name));
      const base::Json& file = (*report)["files"][data_file.name];
      EXPECT_THAT(file["path"].get<std::string>(), HasSubstr("\\temp with spaces\\"));
      const std::string resource =
          e2e::ProgramResource(L"lite_installer_local.exe", data_file.resource);
      ASSERT_FALSE(resource.empty());
      EXPECT_EQ(true, file["exists"]);
      EXPECT_EQ(e2e::Sha256Hex(resource), file["sha256"]);
    }
    EXPECT_THAT(RunLog(), HasSubstr("INFO: RunModule results: success=1 error_code=0"));
    // The prefix has no ConsentPromptBehaviorAdmin: no prompts.
    EXPECT_EQ("100", SetupLaunchedUac());
  }
}

// With consent prompts on, setup's start is counted as elevated.
TEST_F(ElevatedRestartE2ETest, ConsentPromptsMakeTheLaunchElevated) {
  // The prefix's own policy key (the installer reads the real one); the
  // value is removed again below.
  ServeArchive(L"fake_setup_signed.exe");
  ASSERT_TRUE(test::WriteRegistryValue(HKEY_LOCAL_MACHINE, kPolicyKey,
                                       L"ConsentPromptBehaviorAdmin", DWORD{5}));
  Start(L"--do-not-launch-browser");
  ASSERT_TRUE(driver_.ClickControl(test::kInstallButtonId));
  const DWORD code = ExitCode();
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    ::RegDeleteValueW(key, L"ConsentPromptBehaviorAdmin");
    ::RegCloseKey(key);
  }
  EXPECT_EQ(400u, code) << RunLog();
  EXPECT_EQ("1", SetupLaunchedUac());
}

// Mode 1 starts the copy with the window; closing the window on the welcome
// screen, while the download still runs, cancels the copy at once.
TEST_F(ElevatedRestartE2ETest, ClosingTheWelcomeScreenCancelsTheCopy) {
  ServeArchive(L"fake_setup_signed.exe", "\"trickle\": 4096, \"trickle_ms\": 200");
  Start(L"--distr-info-params=uac=1");
  ASSERT_TRUE(WaitForLine("INFO: Start installer as admin")) << RunLog();
  const ULONGLONG start = ::GetTickCount64();
  ASSERT_TRUE(driver_.ClickControl(test::kCloseButtonId));
  EXPECT_EQ(500u, ExitCode(5000)) << RunLog();
  EXPECT_LT(::GetTickCount64() - start, 5000u);
  EXPECT_THAT(RunLog(),
              HasSubstr("ERROR: Installer started as admin has been unexpectedly synced, wr=1"));
  EXPECT_FALSE(test::PathExists(Report()));
}

// Mode 1 builds the copy's line as the window opens, while the install
// thread writes the data files: the A/B-test configuration's path is always
// there, and whole.
TEST_F(ElevatedRestartE2ETest, TheCopysLineAlwaysHasTheWholeABConfigurationPath) {
  ServeArchive(L"fake_setup_signed.exe", "\"trickle\": 4096, \"trickle_ms\": 200");
  const std::wstring expected = temp_dir_ + L"\\abt_config_resource";
  for (int run = 0; run < 20; ++run) {
    SCOPED_TRACE(testing::Message() << "run " << run);
    run_log_->Clear();
    Start(L"--distr-info-params=uac=1");
    ASSERT_TRUE(WaitForLine(kStartLine)) << RunLog();
    EXPECT_EQ(test::ToLower(expected),
              test::ToLower(PreparedSetupLine().GetSwitchValue("abt-config-resource-file")));
    ASSERT_TRUE(driver_.ClickControl(test::kCloseButtonId));
    ASSERT_EQ(500u, ExitCode(30000)) << RunLog();
  }
}

}  // namespace
