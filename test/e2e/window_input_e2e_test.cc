// The window of lite_installer_local.exe under the user's hands and setup's
// reports: real input, the fake setup's scripted messages, links opened in
// the test prefix's link recorder, and the statistics events as the
// service decodes them.

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "base/json.h"
#include "base/strings.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/e2e/e2e_support.h"
#include "test/support/installer_window_driver.h"
#include "test/support/registry_override.h"
#include "test/support/screen_capture.h"
#include "test/support/stat_request.h"
#include "test/support/test_support.h"
#include "test/support/ui_input.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// The progress bar's empty part in the light theme.
constexpr COLORREF kEmptyBarColour = RGB(0xc9, 0xcf, 0xe0);

class WindowInputE2ETest : public e2e::WindowedRunTest {
 protected:
  // A download slow enough for the progress screen to be worked with.
  void ServeSlowArchive() {
    ServeArchive(L"fake_setup_signed.exe", "\"trickle\": 4096, \"trickle_ms\": 200");
  }
  // Waits until the window's thread has handled what was sent before.
  void Settle() {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(driver_.window(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
  }
  // Closes the progress screen through the cancel question's Cancel.
  void ConfirmCancel() {
    ASSERT_TRUE(driver_.ClickControl(test::kCloseButtonId));
    HWND confirmation = driver_.WaitForOtherDialog();
    ASSERT_TRUE(confirmation) << Log();
    ASSERT_TRUE(driver_.ClickControl(test::kCancelButtonId, confirmation));
  }
};

// Setup reports stages 5, 6 and 7, then imports 0, 1, 50 and 100, with
// the window's own progress message, a remaining-time estimate and an
// import out of range in between; each step is looked at (and
// photographed) while setup waits, then setup closes the window.
TEST_F(WindowInputE2ETest, SetupReportsMoveTheBarAndTheStatusLine) {
  struct Step {
    const char* step;
    int position;
  };
  const Step kSteps[] = {{"install:5", 75},   {"install:6", 75}, {"install:7", 79},
                         {"remaining:7", 79}, {"import:0", 80},  {"import:1", 80},
                         {"progress:85", 85}, {"import:50", 90}, {"import:150", 90},
                         {"import:100", 100}};
  std::string script;
  for (const Step& step : kSteps)
    script += step.step + std::string(",");
  ServeArchive(L"fake_setup_signed.exe");
  const std::wstring steps_dir = dir_.Append(L"steps");
  ASSERT_TRUE(::CreateDirectoryW(steps_dir.c_str(), nullptr));
  Start(L"--do-not-launch-browser --fake-setup-script=" + base::UTF8ToWide(script) +
        L"close \"--fake-setup-step-dir=" + steps_dir + L"\"");
  Install();
  RECT window;
  ASSERT_TRUE(::GetWindowRect(driver_.window(), &window));
  const RECT bar = driver_.ControlRect(test::kProgressBarId);
  const int middle = (bar.top + bar.bottom) / 2;
  for (size_t i = 0; i < std::size(kSteps); ++i) {
    SCOPED_TRACE(kSteps[i].step);
    const std::wstring path = steps_dir + L"\\step-" + std::to_wstring(i) + L".json";
    ASSERT_TRUE(test::PumpUntil([&] { return test::PathExists(path); }, 60000)) << Log();
    const test::Pixels shot =
        test::CaptureScreenForCurrentTest(window, "step_" + std::to_string(i));
    ASSERT_FALSE(shot.empty());
    // The bar's filled part ends where the step put it.
    const int end = bar.left + (bar.right - bar.left) * kSteps[i].position / 100;
    EXPECT_NE(kEmptyBarColour, test::ToColorRef(shot.At(end - 3, middle)));
    if (kSteps[i].position < 100)
      EXPECT_EQ(kEmptyBarColour, test::ToColorRef(shot.At(end + 3, middle)));
    ::Sleep(50);  // the step file is complete once setup closed it
    ASSERT_TRUE(::DeleteFileW(path.c_str()));
  }
  EXPECT_EQ(0u, ExitCode()) << Log();
  std::optional<base::Json> report = SetupReport();
  ASSERT_TRUE(report.has_value()) << Log();
  const base::Json& steps = (*report)["steps"];
  ASSERT_EQ(std::size(kSteps) + 1, steps.size()) << base::WriteJsonPretty(*report);
  for (size_t i = 0; i < std::size(kSteps); ++i) {
    SCOPED_TRACE(kSteps[i].step);
    EXPECT_EQ(1, steps[i]["result"].get<int64_t>());
    EXPECT_EQ(kSteps[i].position, steps[i]["position"].get<int64_t>());
    EXPECT_TRUE(steps[i]["visible"].get<bool>());
    EXPECT_THAT(steps[i]["status"].get<std::string>(),
                HasSubstr(kSteps[i].position <= 90 ? "Installing..." : "Almost done..."));
  }
  EXPECT_EQ("close", steps[std::size(kSteps)]["step"]);
  const std::string log = Log();
  EXPECT_THAT(log, HasSubstr("--> Installer > MainWindow::OnInstallProgress: 75"));
  EXPECT_THAT(log, HasSubstr("--> Installer > MainWindow::OnInstallProgress: 0"));
  EXPECT_THAT(log, HasSubstr("--> Installer > MainWindow::OnImportProgress: 50"));
  EXPECT_THAT(log, HasSubstr("Import progress out of range ignored: 150"));
  EXPECT_THAT(log, HasSubstr("--> Installer > MainWindow::OnCloseWindow"));
}

// Setup asks whether the user keeps the installed browser; the notice's
// primary button answers 1, its secondary button and (redesigned) its close
// cross 0.
// Then setup closes the window and fails: its error is shown and its exit
// code ends the run.
TEST_F(WindowInputE2ETest, BrowserExistsAnswersWithTheUsersChoice) {
  ServeArchive(L"fake_setup_signed.exe");
  Start(L"--do-not-launch-browser --fake-setup-exit-code=7 "
        L"--fake-setup-script=browser_exists,browser_exists,browser_exists,close");
  Install();
  for (int button : {IDOK, test::kCancelButtonId, test::kCloseButtonId}) {
    HWND notice = driver_.WaitForOtherDialog(60000);
    ASSERT_TRUE(notice) << Log();
    // The window stays under its notice.
    EXPECT_TRUE(::IsWindowVisible(driver_.window()));
    if (button != test::kCloseButtonId ||
        ::IsWindowVisible(::GetDlgItem(notice, test::kCloseButtonId))) {
      ASSERT_TRUE(driver_.ClickControl(button, notice));
    } else {
      // The classic notice has no cross and the system menu's Close changes
      // nothing: its secondary button answers.
      ::PostMessageW(notice, WM_SYSCOMMAND, SC_CLOSE, 0);
      EXPECT_FALSE(test::PumpUntil([&] { return !::IsWindow(notice); }, 500));
      ASSERT_TRUE(driver_.ClickControl(test::kCancelButtonId, notice));
    }
    ASSERT_TRUE(test::PumpUntil([&] { return !::IsWindow(notice); }, 10000));
  }
  HWND error = driver_.WaitForOtherDialog(60000);
  ASSERT_TRUE(error) << Log();
  ASSERT_TRUE(driver_.ClickControl(IDOK, error));
  EXPECT_EQ(7u, ExitCode()) << Log();
  std::optional<base::Json> report = SetupReport();
  ASSERT_TRUE(report.has_value()) << Log();
  const base::Json& steps = (*report)["steps"];
  ASSERT_EQ(4u, steps.size());
  EXPECT_EQ(1, steps[0]["result"].get<int64_t>());
  EXPECT_EQ(0, steps[1]["result"].get<int64_t>());
  EXPECT_EQ(0, steps[2]["result"].get<int64_t>());
}

// Esc on the welcome screen counts "cancel" and leaves the window; Close
// counts "close" and ends the run as cancelled.
TEST_F(WindowInputE2ETest, EscStaysAndCloseEndsTheWelcomeScreen) {
  ServeArchive(L"fake_setup_signed.exe");
  Start(L"");
  ASSERT_TRUE(driver_.PressKey(VK_ESCAPE));
  Settle();
  EXPECT_TRUE(::IsWindowVisible(driver_.window()));
  EXPECT_FALSE(process_.Wait(500));
  ASSERT_TRUE(driver_.ClickControl(test::kCloseButtonId));
  EXPECT_EQ(500u, ExitCode()) << Log();
  EXPECT_THAT(UserActions(3), ElementsAre("clicked_button=cancel", "clicked_button=close"));
}

// During the download: Esc counts "cancel" and stays; Close asks, Resume
// sends nothing and goes on, and the question comes again; its Cancel
// counts "cancel", ends the run with 500 and no new download starts.
TEST_F(WindowInputE2ETest, CloseDuringTheDownloadAsksAndResumeGoesOn) {
  ServeSlowArchive();
  Start(L"");
  Install();
  ASSERT_TRUE(driver_.PressKey(VK_ESCAPE));
  Settle();
  EXPECT_TRUE(::IsWindowVisible(driver_.window()));

  ASSERT_TRUE(driver_.ClickControl(test::kCloseButtonId));
  HWND confirmation = driver_.WaitForOtherDialog();
  ASSERT_TRUE(confirmation) << Log();
  ASSERT_TRUE(driver_.ClickControl(test::kResumeButtonId, confirmation));
  ASSERT_TRUE(test::PumpUntil([&] { return !::IsWindowVisible(confirmation); }, 10000));
  const std::wstring before = driver_.StatusText();
  EXPECT_TRUE(test::PumpUntil([&] { return driver_.StatusText() != before; }, 20000))
      << "the download did not go on";
  EXPECT_TRUE(process_.IsRunning());

  ConfirmCancel();
  EXPECT_EQ(500u, ExitCode()) << Log();
  const std::vector<test::StatRequest> stats =
      test::WaitForStatRequests(*services_, 64, 3000);
  std::vector<std::string> actions;
  size_t cancelled_at = stats.size();
  for (size_t i = 0; i < stats.size(); ++i) {
    if (stats[i].Has("clicked_button"))
      actions.push_back(stats[i].Get("clicked_button"));
    if (actions.size() == 3 && cancelled_at == stats.size())
      cancelled_at = i;
  }
  EXPECT_THAT(actions, ElementsAre("install", "cancel", "cancel"));
  // After the confirmed cancel no download started again.
  for (size_t i = cancelled_at + 1; i < stats.size(); ++i)
    EXPECT_NE("download/started", stats[i].Event());
}

// Collapse minimises and counts "minimize", SC_RESTORE restores and counts
// "restore"; moving, sizing and minimising through the system menu do
// nothing; Alt+F4 during the installation ends it at once with 500,
// without a question and without an event.
TEST_F(WindowInputE2ETest, SystemCommandsCollapseAndAltF4DuringTheInstallation) {
  ServeSlowArchive();
  Start(L"");
  Install();
  RECT before;
  ASSERT_TRUE(::GetWindowRect(driver_.window(), &before));
  for (WPARAM command : {SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}) {
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(::SendMessageTimeoutW(driver_.window(), WM_SYSCOMMAND, command, 0, SMTO_NORMAL,
                                      5000, &ignored))
        << command;
  }
  RECT after;
  ASSERT_TRUE(::GetWindowRect(driver_.window(), &after));
  EXPECT_TRUE(::EqualRect(&before, &after));
  EXPECT_FALSE(::IsIconic(driver_.window()));

  ASSERT_TRUE(driver_.ClickControl(test::kCollapseButtonId));
  EXPECT_TRUE(test::PumpUntil([&] { return ::IsIconic(driver_.window()) != FALSE; }));
  ::PostMessageW(driver_.window(), WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(test::PumpUntil([&] { return !::IsIconic(driver_.window()); }));

  ASSERT_TRUE(test::BringToForeground(driver_.window()));
  ASSERT_TRUE(test::KeyChord(VK_MENU, VK_F4));
  EXPECT_EQ(500u, ExitCode()) << Log();
  EXPECT_FALSE(driver_.WaitForOtherDialog(0));
  EXPECT_THAT(UserActions(), ElementsAre("clicked_button=install", "clicked_button=minimize",
                                         "clicked_button=restore"));
}

// Both links open the brand's address with "?lang=" and the language of
// the distribution parameters, in the link recorder and in clicked_link;
// the licence address already holds a query; a hostile language arrives
// escaped.
TEST_F(WindowInputE2ETest, LinksOpenTheBrandAddressWithTheLanguage) {
  const std::string origin = "https://localhost:" + std::to_string(LITE_LOCAL_HTTPS_PORT);
  struct Case {
    const wchar_t* lang;
    const char* escaped;
  };
  for (const Case& c : {Case{L"kk", "kk"}, Case{L"a b\\\"/%", "a%20b%22%2F%25"}}) {
    services_->Reset();
    ServeSlowArchive();
    const std::wstring record = dir_.Append(L"links.txt");
    ::DeleteFileW(record.c_str());
    Start(std::wstring(L"\"--distr-info-params=lang=") + c.lang + L"\"",
          {{L"LITE_LINK_RECORD", record}});
    const std::vector<std::string> expected = {
        origin + "/confidential/?lang=" + c.escaped,
        origin + "/browser_agreement/?from=local?lang=" + c.escaped};
    ASSERT_TRUE(driver_.ClickControl(test::kPrivacyLinkId));
    ASSERT_TRUE(test::PumpUntil([&] { return test::ReadFile(record).size() > 0; }, 20000))
        << "no address reached the link recorder (tools/run_tests.sh registers it)";
    ASSERT_TRUE(driver_.ClickControl(test::kLicenseLinkId));
    ASSERT_TRUE(test::PumpUntil(
        [&] { return test::ReadFile(record) == expected[0] + "\n" + expected[1] + "\n"; },
        20000))
        << test::ReadFile(record);
    EXPECT_TRUE(::IsWindowVisible(driver_.window()));
    ASSERT_TRUE(driver_.ClickControl(test::kCloseButtonId));
    EXPECT_EQ(500u, ExitCode()) << Log();
    // The statistics sender writes "," "-" "=" as "_" and keeps escapes,
    // which the service undoes once.
    auto as_counted = [](std::string address) {
      std::replace_if(address.begin(), address.end(),
                      [](char c) { return c == ',' || c == '-' || c == '='; }, '_');
      return "clicked_link=" + test::PercentDecoded(address);
    };
    EXPECT_THAT(UserActions(3), ElementsAre(as_counted(expected[0]), as_counted(expected[1]),
                                            "clicked_button=close"));
  }
}

// Clicks on both checkboxes count "default" and "sendstat", and Install
// carries their new states; without visual styles (ThemeActive 0) the
// remembered state follows the clicks as well.
TEST_F(WindowInputE2ETest, CheckboxClicksCountAndInstallCarriesTheirStates) {
  test::ScopedRegistryValue theme(HKEY_CURRENT_USER,
                                  L"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager",
                                  L"ThemeActive");
  for (const wchar_t* theme_active : {L"1", L"0"}) {
    SCOPED_TRACE(theme_active);
    ASSERT_TRUE(theme.Set(theme_active));
    services_->Reset();
    ServeArchive(L"fake_setup_signed.exe");
    Start(L"--do-not-launch-browser");
    ASSERT_TRUE(driver_.ClickControl(test::kDefaultBrowserCheckboxId));
    ASSERT_TRUE(driver_.ClickControl(test::kStatisticsCheckboxId));
    ::Sleep(::GetDoubleClickTime() + 50);
    ASSERT_TRUE(driver_.ClickControl(test::kStatisticsCheckboxId));
    Install();
    EXPECT_EQ(0u, ExitCode()) << Log();
    std::string states;
    for (const test::StatRequest& request : test::WaitForStatRequests(*services_, 64, 3000)) {
      if (request.Get("action") == "install_browser_button_clicked")
        states += request.Get("checkbox_default") + request.Get("checkbox_sendstat");
    }
    EXPECT_EQ("01", states);
    EXPECT_THAT(UserActions(), ElementsAre("chosen_checkbox=default", "chosen_checkbox=sendstat",
                                           "chosen_checkbox=sendstat", "clicked_button=install"));
    std::optional<base::Json> report = SetupReport();
    ASSERT_TRUE(report.has_value()) << Log();
    EXPECT_TRUE((*report)["switches"].contains("send-statistics"));
    EXPECT_FALSE((*report)["switches"].contains("make-default"));
  }
}

// Real Tab presses walk the controls in their order; one Left on Install
// focuses the licence link, one Right there goes back; arrows on other
// controls move nothing.
TEST_F(WindowInputE2ETest, TabWalksTheControlsAndArrowsJumpBetweenInstallAndTheLicence) {
  ServeArchive(L"fake_setup_signed.exe");
  Start(L"");
  ASSERT_TRUE(test::BringToForeground(driver_.window()));
  // The focus after `key`, once it reached `expected` (or after a while).
  auto press = [&](WORD key, int expected, DWORD timeout_ms = 3000) {
    EXPECT_TRUE(driver_.PressKey(key));
    test::PumpUntil([&] { return driver_.FocusedId() == expected; }, timeout_ms);
    return driver_.FocusedId();
  };
  EXPECT_EQ(test::kInstallButtonId, driver_.FocusedId());
  for (int id : {test::kLicenseLinkId, test::kPrivacyLinkId, test::kStatisticsCheckboxId,
                 test::kDefaultBrowserCheckboxId, test::kCloseButtonId, test::kInstallButtonId}) {
    EXPECT_EQ(id, press(VK_TAB, id));
  }
  EXPECT_EQ(test::kLicenseLinkId, press(VK_LEFT, test::kLicenseLinkId));
  EXPECT_EQ(test::kInstallButtonId, press(VK_RIGHT, test::kInstallButtonId));
  EXPECT_EQ(test::kLicenseLinkId, press(VK_UP, test::kLicenseLinkId));
  EXPECT_EQ(test::kPrivacyLinkId, press(VK_TAB, test::kPrivacyLinkId));
  // Elsewhere the arrows move nothing, and leave Install's flag alone: a
  // lone key-down there, then back on Install, the next key-down only arms
  // the flag and the key-up moves.
  for (WORD key : {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN})
    EXPECT_EQ(test::kPrivacyLinkId, press(key, 0, 700)) << key;
  ASSERT_TRUE(test::KeyEvent(VK_LEFT, /*up=*/false));
  ASSERT_TRUE(test::KeyChord(VK_SHIFT, VK_TAB));
  ASSERT_TRUE(test::KeyChord(VK_SHIFT, VK_TAB));
  ASSERT_TRUE(test::PumpUntil([&] { return driver_.FocusedId() == test::kInstallButtonId; }, 3000));
  ASSERT_TRUE(test::KeyEvent(VK_LEFT, /*up=*/false));
  test::PumpUntil([&] { return driver_.FocusedId() != test::kInstallButtonId; }, 700);
  EXPECT_EQ(test::kInstallButtonId, driver_.FocusedId());
  ASSERT_TRUE(test::KeyEvent(VK_LEFT, /*up=*/true));
  EXPECT_TRUE(test::PumpUntil([&] { return driver_.FocusedId() == test::kLicenseLinkId; }, 3000));
  ASSERT_TRUE(driver_.ClickControl(test::kCloseButtonId));
  EXPECT_EQ(500u, ExitCode()) << Log();
}

}  // namespace
