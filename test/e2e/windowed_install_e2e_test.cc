// Windowed installations of lite_installer_local.exe: the real window,
// pressed with real input, against the loopback services and the signed
// fake setup; screenshots of both screens at 100 % and 200 %.

#include <windows.h>

#include <string>
#include <vector>

#include "base/json.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/e2e/e2e_support.h"
#include "test/support/installer_window_driver.h"
#include "test/support/screen_capture.h"
#include "test/support/stat_request.h"
#include "test/support/test_support.h"
#include "test/support/ui_input.h"
#include "test/support/link_record.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;


class WindowedInstallE2ETest : public e2e::WindowedRunTest {};

TEST_F(WindowedInstallE2ETest, InstallRunsSetupWithTheWindowAndEndsWithItsCode) {
  ServeArchive(L"fake_setup_signed.exe");
  Start(L"--do-not-launch-browser");
  Install();
  EXPECT_EQ(0u, ExitCode()) << Log();
  std::optional<base::Json> report = SetupReport();
  ASSERT_TRUE(report.has_value()) << Log();
  // Setup was told the window to report to.
  EXPECT_EQ(std::to_string(reinterpret_cast<uintptr_t>(driver_.window())),
            (*report)["switches"]["progress-window"]);
  EXPECT_THAT(Log(), HasSubstr("INFO: Installer exit with code: 0 ("));
  // Pressing Install was counted, with the checkboxes as the user left them.
  bool counted = false;
  for (const test::StatRequest& request : test::WaitForStatRequests(*services_, 64, 3000)) {
    if (request.Get("action") == "install_browser_button_clicked")
      counted = true;
  }
  EXPECT_TRUE(counted);
}

TEST_F(WindowedInstallE2ETest, TheRunLastsAsLongAsTheBrowsersMessageWindow) {
  ServeArchive(L"fake_setup_signed.exe");
  Start(L"--fake-setup-browser-ms=4000");
  Install();
  EXPECT_EQ(0u, ExitCode()) << Log();
  std::optional<base::Json> report = SetupReport();
  ASSERT_TRUE(report.has_value()) << Log();
  const int64_t browser_pid = (*report)["browser_process_id"].get<int64_t>();
  ASSERT_NE(0, browser_pid);
  // The browser's window was gone before the installer ended.
  HANDLE browser = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(browser_pid));
  if (browser) {
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(browser, 0));
    ::CloseHandle(browser);
  }
}

TEST_F(WindowedInstallE2ETest, FailuresShowTheErrorDialogAndEndWithTheirCodes) {
  // The pages the dialogs open land in this record.
  test::ScopedLinkRecord links;
  struct Case {
    const wchar_t* archive;
    const wchar_t* switches;
    DWORD code;
    // The dialog's title and primary label (the local brand is English).
    const wchar_t* title;
    const wchar_t* primary;
    // The path of the page its primary button opens ("": none).
    const char* page;
  };
  const Case cases[] = {
      {L"fake_setup_signed.exe", L"--fake-setup-exit-code=7", 7,
       L"You already have Norvel Browser", L"Open", ""},
      {L"fake_setup_signed.exe", L"--fake-setup-exit-code=8", 8,
       L"The folder with the new browser version\nis locked", L"Contact us",
       "/feedback/?from=installer"},
      // An unsigned archive: the download page, or the log without it.
      {L"fake_setup.exe", L"", 402, L"Something went wrong", L"Download",
       "/download?full=1&code=lite_install_failed"},
      {L"fake_setup.exe", L"--disable-error-dialog-download-button", 402,
       L"Something went wrong", L"Contact us", "/feedback/?from=installer"},
  };
  size_t pages = 0;
  for (const Case& c : cases) {
    services_->Reset();
    ASSERT_TRUE(services_->AddRule(kReportPath, R"({"text": "ok"})"));
    ServeArchive(c.archive);
    Start(c.switches);
    Install();
    HWND dialog = driver_.WaitForOtherDialog(60000);
    ASSERT_TRUE(dialog) << Log();
    EXPECT_FALSE(::IsWindowVisible(driver_.window()));
    EXPECT_EQ(c.title, test::WindowText(::GetDlgItem(dialog, test::kTitleId))) << c.switches;
    EXPECT_EQ(c.primary, test::WindowText(::GetDlgItem(dialog, IDOK))) << c.switches;
    // Only the buttons end it.
    ASSERT_TRUE(driver_.PressKey(VK_ESCAPE, dialog));
    ASSERT_TRUE(test::KeyChord(VK_MENU, VK_F4));
    EXPECT_FALSE(process_.Wait(300));
    ASSERT_TRUE(driver_.ClickControl(IDOK, dialog));
    EXPECT_EQ(c.code, ExitCode()) << c.switches << Log();
    if (*c.page) {
      const std::vector<std::string> lines = links.WaitForLines(++pages);
      ASSERT_EQ(pages, lines.size()) << c.switches;
      EXPECT_THAT(lines.back(), testing::EndsWith(c.page)) << c.switches;
      EXPECT_THAT(lines.back(), StartsWith("https://")) << c.switches;
    }
  }
}

TEST_F(WindowedInstallE2ETest, CloseOrAltF4OnTheWelcomeScreenCancels) {
  ServeArchive(L"fake_setup_signed.exe");
  Start(L"");
  ASSERT_TRUE(driver_.ClickControl(test::kCloseButtonId));
  EXPECT_EQ(500u, ExitCode());
  EXPECT_THAT(Log(), HasSubstr("INFO: User cancelled installation."));

  Start(L"");
  ASSERT_TRUE(test::BringToForeground(driver_.window()));
  ASSERT_TRUE(test::KeyChord(VK_MENU, VK_F4));
  EXPECT_EQ(500u, ExitCode());
}

// Both screens as a user sees them, at 100 % and 200 %: the window has the
// design size times the factor, the progress bar and status line sit at
// their places, and the status line says how far the download got.
TEST_F(WindowedInstallE2ETest, ScreensAtOneAndTwoTimesScale) {
  const int screen_width = ::GetSystemMetrics(SM_CXSCREEN);
  const int screen_height = ::GetSystemMetrics(SM_CYSCREEN);
  for (int scale : {1, 2}) {
    ASSERT_LE(802 * scale, screen_width);
    ASSERT_LE(430 * scale, screen_height);
    // A download slow enough for the progress screen to be looked at.
    ServeArchive(L"fake_setup_signed.exe", "\"trickle\": 4096, \"trickle_ms\": 200");
    Start(L"--force-device-scale-factor=" + std::to_wstring(scale));
    RECT window;
    ASSERT_TRUE(::GetWindowRect(driver_.window(), &window));
    EXPECT_EQ(802 * scale, window.right - window.left);
    EXPECT_EQ(430 * scale, window.bottom - window.top);
    // Centred on the screen's work area.
    EXPECT_NEAR((screen_width - 802 * scale) / 2, window.left, 2);
    const test::Pixels welcome =
        test::CaptureScreenForCurrentTest(window, "welcome_" + std::to_string(scale * 100));
    ASSERT_FALSE(welcome.empty());
    // The Install button's cell colour at its place.
    const POINT install = {61 * scale + 20, 333 * scale + 10};
    EXPECT_EQ(RGB(0x3b, 0x4b, 0xd8), test::ToColorRef(welcome.At(install.x, install.y)));

    Install();
    test::PumpUntil([&] { return driver_.StatusText().find(L'%') != std::wstring::npos; });
    const RECT bar = driver_.ControlRect(test::kProgressBarId);
    EXPECT_EQ(61 * scale, bar.left);
    EXPECT_EQ(358 * scale, bar.top);
    EXPECT_EQ(454 * scale, bar.right);
    EXPECT_EQ(363 * scale, bar.bottom);
    const RECT status = driver_.ControlRect(test::kStatusLineId);
    EXPECT_EQ(61 * scale, status.left);
    EXPECT_EQ(372 * scale, status.top);
    EXPECT_THAT(driver_.StatusText(), StartsWith(L"Downloading... "));
    const test::Pixels progress =
        test::CaptureScreenForCurrentTest(window, "progress_" + std::to_string(scale * 100));
    ASSERT_FALSE(progress.empty());
    // The bar's empty part at its right end.
    EXPECT_EQ(RGB(0xc9, 0xcf, 0xe0),
              test::ToColorRef(progress.At(bar.right - 2, (bar.top + bar.bottom) / 2)));
    // Close asks first during the installation; Cancel ends it.
    ASSERT_TRUE(driver_.ClickControl(test::kCloseButtonId));
    HWND confirmation = driver_.WaitForOtherDialog();
    ASSERT_TRUE(confirmation) << Log();
    ASSERT_TRUE(driver_.ClickControl(test::kCancelButtonId, confirmation));
    EXPECT_EQ(500u, ExitCode());
  }
}

TEST_F(WindowedInstallE2ETest, InstallCountsTheCheckboxesAsTheUserLeftThemOnce) {
  ServeArchive(L"fake_setup_signed.exe");
  Start(L"--do-not-launch-browser");
  HWND statistics = ::GetDlgItem(driver_.window(), test::kStatisticsCheckboxId);
  ASSERT_TRUE(statistics);
  ::SendMessageW(statistics, BM_CLICK, 0, 0);
  ASSERT_TRUE(driver_.ClickControl(test::kInstallButtonId));
  // A second Install (the dialog manager's Enter) does nothing.
  ::PostMessageW(driver_.window(), WM_COMMAND, test::kInstallButtonId, 0);
  EXPECT_EQ(0u, ExitCode()) << Log();
  int install_clicks = 0;
  std::vector<std::string> actions;
  for (const test::StatRequest& request : test::WaitForStatRequests(*services_, 64, 3000)) {
    if (request.Get("action") == "install_browser_button_clicked") {
      ++install_clicks;
      EXPECT_EQ("0", request.Get("checkbox_sendstat"));
    }
    for (const char* name : {"clicked_button", "chosen_checkbox"}) {
      if (request.Has(name))
        actions.push_back(name + std::string("=") + request.Get(name));
    }
  }
  EXPECT_EQ(1, install_clicks);
  EXPECT_THAT(actions, ::testing::ElementsAre("chosen_checkbox=sendstat", "clicked_button=install"));
  std::optional<base::Json> report = SetupReport();
  ASSERT_TRUE(report.has_value()) << Log();
  EXPECT_FALSE((*report)["switches"].contains("send-statistics"));
}

}  // namespace
