// The installation window in process: a real dialog from template 901 on a
// thread of its own, driven like a user would, with a scripted Installer
// whose thread reports what the test chooses and a recording taskbar.

#include "chrome/installer/lite_installer/main_window.h"

#include <process.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/tick_clock.h"
#include "brand/brand_package_info.h"
#include "chrome/installer/lite_installer/background_slides.h"
#include "chrome/installer/lite_installer/elevated_restart.h"
#include "chrome/installer/lite_installer/installation_window_theme.h"
#include "chrome/installer/lite_installer/lite_main_window.h"
#include "chrome/installer/lite_installer/localized_strings.h"
#include "chrome/installer/lite_installer/notice_dialogs.h"
#include "chrome/installer/lite_installer/scale_factor.h"
#include "chrome/installer/lite_installer/startup.h"
#include "chrome/installer/lite_installer/taskbar_progress.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/backdrop_window.h"
#include "test/support/fake_services.h"
#include "test/support/fake_system_facts.h"
#include "test/support/fixed_distrib_params.h"
#include "test/support/installer_window_driver.h"
#include "test/support/recording_stat_sender.h"
#include "test/support/rect_ops.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_test_log.h"
#include "test/support/screen_capture.h"
#include "test/support/shadow_pixels.h"
#include "test/support/ui_input.h"
#include "test/support/link_record.h"

namespace lite_installer {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// What the taskbar was told, as text: "state N" and "value C/T".
class RecordingTaskbar : public TaskbarProgress {
 public:
  static std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  static void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
  }
  static std::unique_ptr<TaskbarProgress> Create() { return std::make_unique<RecordingTaskbar>(); }

  HRESULT SetProgressState(HWND, TBPFLAG state) override {
    Record("state " + std::to_string(state));
    return S_OK;
  }
  HRESULT SetProgressValue(HWND, ULONGLONG completed, ULONGLONG total) override {
    Record("value " + std::to_string(completed) + "/" + std::to_string(total));
    return S_OK;
  }

 private:
  static void Record(std::string call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }
  static std::mutex mutex_;
  static std::vector<std::string> calls_;
};
std::mutex RecordingTaskbar::mutex_;
std::vector<std::string> RecordingTaskbar::calls_;

// An installer whose thread runs the test's script with its delegate and
// the install-after-download and stop events instead of an installation.
class ScriptedInstaller : public Installer {
 public:
  struct Context {
    Installer* installer;
    Installer::Delegate* delegate;
    HANDLE release;  // set by Install
    HANDLE stop;     // set when the window stops the installer
  };
  using Script = std::function<void(const Context&)>;

  ScriptedInstaller(Delegate* delegate, BrandPackageInfo* brand, DistribInfoParams* params)
      : Installer(delegate, brand, params, /*with_async_tasks=*/false) {
    set_thread_wait_ms_for_testing(500);
    // The script writes no data files for an elevated copy's line.
    set_data_files_wait_ms_for_testing(0);
    test::StatRecord::InstallInto(stat_reporter(), stats());
  }
  ~ScriptedInstaller() override { WaitForInstallAsync(); }

  // The statistics URLs of the window's installers.
  static std::shared_ptr<test::StatRecord>& stats() {
    static auto* record = new std::shared_ptr<test::StatRecord>(std::make_shared<test::StatRecord>());
    return *record;
  }
  static Script& script() {
    static Script* current = new Script();
    return *current;
  }
  static std::unique_ptr<Installer> Create(Delegate* delegate,
                                           BrandPackageInfo* brand,
                                           DistribInfoParams* params,
                                           bool) {
    return std::make_unique<ScriptedInstaller>(delegate, brand, params);
  }

 protected:
  HANDLE BeginInstallThread() override {
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &ThreadProc, this, 0, nullptr));
  }

 private:
  static unsigned __stdcall ThreadProc(void* param) {
    auto* self = static_cast<ScriptedInstaller*>(param);
    if (script())
      script()({self, self->delegate(), self->install_after_download_event(), self->stop_event()});
    return 0;
  }
};

// Waits for `event` or for the stop event; true for `event`.
bool WaitFor(HANDLE event, HANDLE stop, DWORD timeout_ms = 30000) {
  const HANDLE handles[] = {event, stop};
  return ::WaitForMultipleObjects(2, handles, FALSE, timeout_ms) == WAIT_OBJECT_0;
}

class MainWindowTest : public test::TestWithLog {
 protected:
  void SetUp() override {
    SetInstallerFactoryForTesting(&ScriptedInstaller::Create);
    SetTaskbarProgressFactoryForTesting(&RecordingTaskbar::Create);
    RecordingTaskbar::Clear();
    brand_.language_id_ = 1033;
    brand_.has_install_pin_ = true;
    // A Windows 10 build that lets setup make the browser the default.
    facts_.SetWindowsVersion(10, 0, 19045);
    // No elevated copy unless a test asks for one.
    facts_.SetAdminGroupMembership(false);
  }
  void TearDown() override {
    if (thread_.joinable()) {
      if (HWND window = driver_.window())
        ::PostMessageW(window, kEndDialogMessage, 99, 0);
      thread_.join();
    }
    ScriptedInstaller::script() = nullptr;
    SetTaskbarProgressFactoryForTesting(nullptr);
    SetInstallerFactoryForTesting(nullptr);
  }

  // Opens the window on its own thread, its installer running `script`.
  void Open(ScriptedInstaller::Script script) {
    ScriptedInstaller::script() = std::move(script);
    thread_ = std::thread([this] {
      ScopedUiLibraries libraries;
      LiteMainWindow window(&brand_, &params_, /*interactive=*/true);
      window_ = &window;
      result_ = window.Run();
      installer_nrpin_ = window.installer() ? window.installer()->install_nrpin() : -1;
      cancel_count_ = window.installer() ? window.installer()->cancel_count() : -1;
      window_ = nullptr;
      ended_ = true;
    });
    ASSERT_TRUE(driver_.WaitForWindow()) << Log();
  }
  // The window's result once it ended (-100 when it did not, in time).
  INT_PTR Result(DWORD timeout_ms = 30000) {
    test::PumpUntil([&] { return ended_.load(); }, timeout_ms);
    if (!ended_)
      return -100;
    thread_.join();
    return result_;
  }
  bool Visible(int id) {
    HWND control = ::GetDlgItem(driver_.window(), id);
    return control && ::IsWindowVisible(control);
  }
  bool Exists(int id) { return ::GetDlgItem(driver_.window(), id) != nullptr; }
  // Close on the progress screen, confirmed with Cancel.
  void CancelInstallation() {
    ASSERT_TRUE(driver_.ClickControl(kCloseButtonId));
    HWND confirmation = driver_.WaitForOtherDialog();
    ASSERT_TRUE(confirmation);
    ASSERT_TRUE(driver_.ClickControl(kCancelButtonId, confirmation));
  }
  // Posts `percent` and waits until the window handled it: the status
  // line shows the last valid percent posted after it.
  void ShowPercent(int percent, int then = -1) {
    driver_.PostProgress(percent);
    const int shown = then >= 0 ? then : percent;
    if (then >= 0)
      driver_.PostProgress(then);
    test::PumpUntil([&] {
      const std::wstring text = driver_.StatusText();
      return text.size() > 2 && text.substr(text.rfind(L' ') + 1) == std::to_wstring(shown) + L"%";
    });
  }

  test::ScopedRegistryOverride registry_;
  // Pages that error dialogs open go to this record.
  test::ScopedLinkRecord links_;
  test::FakeSystemFacts facts_;
  test::ScopedTempDir dir_;
  BrandPackageInfo brand_{dir_.path() + L"\\"};
  test::FixedDistribParams params_;
  test::InstallerWindowDriver driver_{::GetCurrentProcessId()};
  std::thread thread_;
  std::atomic<MainWindow*> window_{nullptr};
  std::atomic<bool> ended_{false};
  INT_PTR result_ = -1;
  int installer_nrpin_ = -1;
  int cancel_count_ = -1;
};

// An installer that waits for Install and then for the test's `finish`.
ScriptedInstaller::Script FinishOn(HANDLE finish) {
  return [finish](const ScriptedInstaller::Context& context) {
    if (WaitFor(context.release, context.stop) && WaitFor(finish, context.stop))
      context.delegate->OnInstallFinished(true);
  };
}

// The control that has the focus on `window`'s thread (0: none).
int FocusedId(HWND window) {
  GUITHREADINFO info = {sizeof(info)};
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) || !info.hwndFocus)
    return 0;
  return ::GetDlgCtrlID(info.hwndFocus);
}

TEST(MainWindowProgressTextTest, PrefixesChangeAfterFortyAndNinety) {
  auto format = [](int percent) {
    return FormatProgressStatus(percent, L"Downloading...", L"Installing...", L"Almost done...");
  };
  EXPECT_EQ(L"Downloading... 0%", format(0));
  EXPECT_EQ(L"Downloading... 40%", format(40));
  EXPECT_EQ(L"Installing... 41%", format(41));
  EXPECT_EQ(L"Installing... 90%", format(90));
  EXPECT_EQ(L"Almost done... 91%", format(91));
  // Download progress fills 5..40 only.
  EXPECT_EQ(5, DownloadPercent(0.0f));
  EXPECT_EQ(22, DownloadPercent(0.5f));
  EXPECT_EQ(40, DownloadPercent(1.0f));
}

// The two threads race; whatever the order, the error's dialog is shown
// exactly once.
TEST(ErrorHandOverTest, AnErrorTogetherWithInstallIsShownExactlyOnce) {
  for (int repeat = 0; repeat < 200; ++repeat) {
    ErrorHandOver hand_over;
    std::atomic<int> shown{0};
    std::atomic<bool> go{false};
    std::thread install_thread([&] {
      while (!go) {
      }
      if (hand_over.ReportError(kInstallErrorDownload))
        ++shown;
    });
    go = true;
    hand_over.RequestInstall();
    bool show = false;
    if (hand_over.TakePendingError(&show) && show)
      ++shown;
    install_thread.join();
    ASSERT_EQ(1, shown.load()) << "repeat " << repeat;
  }
  // Before Install nothing is shown; Install then shows the recorded kind.
  ErrorHandOver early;
  EXPECT_FALSE(early.ReportError(kInstallErrorSetupExit7));
  early.RequestInstall();
  bool show = false;
  EXPECT_EQ(kInstallErrorSetupExit7, early.TakePendingError(&show));
  EXPECT_TRUE(show);
  EXPECT_FALSE(early.ReportError(kInstallErrorSetupExit7));
  // After the window ended, a late report shows nothing.
  ErrorHandOver ended;
  ended.RequestInstall();
  ended.Close();
  EXPECT_FALSE(ended.ReportError(kInstallErrorDownload));
}

TEST_F(MainWindowTest, InstallShowsProgressFromZeroAndFollowsTheInstaller) {
  HANDLE setup_started = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE finish = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Open([&](const ScriptedInstaller::Context& context) {
    if (!WaitFor(context.release, context.stop))
      return;
    for (float fraction : {0.0f, 0.5f, 0.5f, 1.0f})
      context.delegate->OnDownloadProgress(fraction);
    context.delegate->SetProgress(40);
    context.delegate->DisableCancel();
    ::SetEvent(setup_started);
    if (WaitFor(finish, context.stop))
      context.delegate->OnInstallFinished(true);
  });
  EXPECT_TRUE(Visible(kInstallButtonId));
  EXPECT_TRUE(Visible(kStatisticsCheckboxId));
  EXPECT_FALSE(Exists(kProgressBarId) && Visible(kProgressBarId));
  RECT window_rect;
  ::GetWindowRect(driver_.window(), &window_rect);
  test::CaptureScreenForCurrentTest(window_rect, "welcome");
  ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
  ASSERT_TRUE(driver_.WaitForControl(kProgressBarId));
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(setup_started, 30000));
  ASSERT_TRUE(test::PumpUntil([&] { return driver_.StatusText() == L"Downloading... 40%"; }));
  // The welcome controls are gone, and so is the Cancel button once setup
  // runs (its removal was handed to the window's thread after the 40).
  EXPECT_FALSE(Exists(kInstallButtonId));
  EXPECT_FALSE(Exists(kStatisticsCheckboxId));
  EXPECT_TRUE(test::PumpUntil([&] { return !Exists(kCancelButtonId); }));
  EXPECT_TRUE(Visible(kCollapseButtonId));
  EXPECT_EQ(L"Downloading... 40%", driver_.StatusText());
  // Normal state and the start, then each percent shown, once: the repeated
  // 22 and the 40 from both the download and setup's start cause no update.
  EXPECT_THAT(RecordingTaskbar::Calls(),
              ElementsAre("state 2", "value 0/100", "value 0/100", "value 5/100",
                          "value 22/100", "value 40/100"));

  ShowPercent(41);
  EXPECT_EQ(L"Installing... 41%", driver_.StatusText());
  ShowPercent(90);
  EXPECT_EQ(L"Installing... 90%", driver_.StatusText());
  ShowPercent(91);
  EXPECT_EQ(L"Almost done... 91%", driver_.StatusText());
  // Out of range: logged and ignored.
  ShowPercent(101, 92);
  EXPECT_EQ(L"Almost done... 92%", driver_.StatusText());
  EXPECT_THAT(Log(), HasSubstr("ERROR: Progress update out of range ignored: 101"));

  ::SetEvent(finish);
  EXPECT_EQ(1, Result());
  ::CloseHandle(setup_started);
  ::CloseHandle(finish);
}

TEST_F(MainWindowTest, RightAfterInstallTheStatusSaysZeroPercent) {
  // The installer stays quiet after the release: only the window's own 0.
  Open([](const ScriptedInstaller::Context& context) { WaitFor(context.stop, context.stop); });
  ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
  ASSERT_TRUE(driver_.WaitForControl(kProgressBarId));
  ASSERT_TRUE(test::PumpUntil([&] { return !driver_.StatusText().empty(); }));
  EXPECT_EQ(L"Downloading... 0%", driver_.StatusText());
  CancelInstallation();
  EXPECT_EQ(kCloseButtonId, Result());
}

TEST_F(MainWindowTest, AnErrorOnTheWelcomeScreenWaitsForInstall) {
  HANDLE reported = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Open([&](const ScriptedInstaller::Context& context) {
    context.delegate->OnInstallError(kInstallErrorDownload);
    ::SetEvent(reported);
    WaitFor(context.stop, context.stop);
  });
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(reported, 30000));
  // Nothing is shown until the user presses Install.
  EXPECT_FALSE(driver_.WaitForOtherDialog(500));
  EXPECT_TRUE(::IsWindowVisible(driver_.window()));
  ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
  HWND dialog = driver_.WaitForOtherDialog();
  ASSERT_TRUE(dialog);
  // The error comes instead of the progress screen.
  EXPECT_FALSE(::IsWindowVisible(driver_.window()));
  EXPECT_FALSE(Exists(kProgressBarId) && Visible(kProgressBarId));
  ASSERT_TRUE(driver_.ClickControl(IDOK, dialog));
  EXPECT_EQ(1, Result());
  ::CloseHandle(reported);
}

TEST_F(MainWindowTest, AnErrorAfterInstallShowsItsDialogFromTheInstallThread) {
  // Errors are redesigned dialogs whatever the brand value says.
  for (auto [kind, title] : {std::pair{kInstallErrorSetupExit8, 450u},
                             std::pair{kInstallErrorElevatedAnotherInstance, 438u}}) {
    ended_ = false;
    Open([kind = kind](const ScriptedInstaller::Context& context) {
      if (WaitFor(context.release, context.stop))
        context.delegate->OnInstallError(kind);
    });
    ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
    HWND dialog = driver_.WaitForOtherDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(LoadLocalizedString(title, 1033),
              test::WindowText(::GetDlgItem(dialog, kDialogTitleId)));
    EXPECT_EQ(LoadLocalizedString(507, 1033),
              test::WindowText(::GetDlgItem(dialog, kDialogPrimaryId)));
    // The window's own thread still answers while the dialog runs.
    DWORD_PTR answer = 0;
    EXPECT_TRUE(::SendMessageTimeoutW(driver_.window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000,
                                      &answer));
    ASSERT_TRUE(driver_.ClickControl(IDOK, dialog));
    EXPECT_EQ(1, Result());
  }
  // Both opened the feedback page.
  const std::vector<std::string> pages = links_.WaitForLines(2);
  ASSERT_EQ(2u, pages.size());
  for (const std::string& page : pages)
    EXPECT_THAT(page, ::testing::EndsWith("/feedback/?from=installer"));
}

TEST_F(MainWindowTest, SetupNoticesFollowTheBrandValue) {
  for (bool redesigned : {false, true}) {
    brand_.new_identity_dialogs_redesign_ = redesigned;
    ended_ = false;
    Open([](const ScriptedInstaller::Context& context) { WaitFor(context.stop, context.stop); });
    // The corporate question: its answer goes back to setup.
    for (int button : {IDOK, static_cast<int>(kCancelButtonId)}) {
      LRESULT answer = -1;
      std::thread setup([&] {
        EXPECT_TRUE(driver_.SendRegistered(kCorpBrowserExistsMessageName, &answer));
      });
      HWND notice = driver_.WaitForOtherDialog();
      ASSERT_TRUE(notice);
      EXPECT_EQ(LoadLocalizedString(redesigned ? 493 : 491, 1033),
                test::WindowText(::GetDlgItem(notice, kDialogTitleId)));
      EXPECT_EQ(LoadLocalizedString(redesigned ? 509 : 495, 1033),
                test::WindowText(::GetDlgItem(notice, kDialogPrimaryId)));
      EXPECT_TRUE(driver_.ClickControl(button, notice));
      setup.join();
      EXPECT_EQ(button == IDOK ? 1 : 0, answer) << redesigned;
    }
    ASSERT_TRUE(driver_.PostRegistered(kCorpHigherVersionExistMessageName));
    HWND notice = driver_.WaitForOtherDialog();
    ASSERT_TRUE(notice);
    EXPECT_EQ(LoadLocalizedString(redesigned ? 499 : 497, 1033),
              test::WindowText(::GetDlgItem(notice, kDialogTitleId)));
    EXPECT_EQ(LoadLocalizedString(redesigned ? 501 : 461, 1033),
              test::WindowText(::GetDlgItem(notice, kDialogPrimaryId)));
    ASSERT_TRUE(driver_.ClickControl(IDOK, notice));
    EXPECT_EQ(1, Result()) << redesigned;
  }
}

TEST_F(MainWindowTest, CloseWindowWithAHungInstallerLogsTheTimeOutAndEndsWithOne) {
  Open([](const ScriptedInstaller::Context& context) {
    // Ignores the stop event for longer than the window waits.
    ::Sleep(3000);
  });
  ASSERT_TRUE(driver_.PostRegistered(kCloseWindowMessageName));
  EXPECT_EQ(1, Result());
  EXPECT_THAT(Log(), HasSubstr("INFO: --> Installer > MainWindow::OnCloseWindow"));
  EXPECT_THAT(Log(),
              HasSubstr("ERROR: --> Installer > MainWindow::OnCloseWindow: WaitForInstallAsync "
                        "timeout"));
}

TEST_F(MainWindowTest, NoticesOfANewerVersionHideTheWindowAndEndWithOne) {
  for (const wchar_t* name : {kHigherVersionExistMessageName, kCorpHigherVersionExistMessageName}) {
    ended_ = false;
    Open([](const ScriptedInstaller::Context& context) { WaitFor(context.stop, context.stop); });
    ASSERT_TRUE(driver_.PostRegistered(name));
    HWND notice = driver_.WaitForOtherDialog();
    ASSERT_TRUE(notice) << name;
    EXPECT_FALSE(::IsWindowVisible(driver_.window()));
    // A second notice while this one is open is logged and dropped.
    ASSERT_TRUE(driver_.PostRegistered(kHigherVersionExistMessageName));
    ASSERT_TRUE(test::PumpUntil([&] {
      return Log().find("ERROR: Notice 0 from setup dropped: another notice is open") !=
             std::string::npos;
    }));
    ASSERT_TRUE(driver_.ClickControl(IDOK, notice));
    EXPECT_EQ(1, Result()) << name;
    EXPECT_FALSE(driver_.WaitForOtherDialog(300));
  }
}

TEST_F(MainWindowTest, TheCorporateNoticeAnswersOneOnlyForItsPrimaryButton) {
  Open([](const ScriptedInstaller::Context& context) { WaitFor(context.stop, context.stop); });
  for (int button : {IDOK, static_cast<int>(kCancelButtonId), 0}) {
    LRESULT answer = -1;
    std::thread setup([&] {
      EXPECT_TRUE(driver_.SendRegistered(kCorpBrowserExistsMessageName, &answer));
    });
    HWND notice = driver_.WaitForOtherDialog();
    ASSERT_TRUE(notice);
    // The window stays as it is behind the notice.
    EXPECT_TRUE(::IsWindowVisible(driver_.window()));
    if (button) {
      EXPECT_TRUE(driver_.ClickControl(button, notice));
    } else {
      // Esc changes nothing; the secondary button answers.
      EXPECT_TRUE(driver_.PressKey(VK_ESCAPE, notice));
      ::Sleep(300);
      EXPECT_TRUE(::IsWindowVisible(notice));
      EXPECT_TRUE(driver_.ClickControl(kCancelButtonId, notice));
    }
    setup.join();
    EXPECT_EQ(button == IDOK ? 1 : 0, answer) << button;
  }
  driver_.ClickControl(kCloseButtonId);
  EXPECT_EQ(kCloseButtonId, Result());
}

TEST_F(MainWindowTest, CloseAndSystemCloseOnTheWelcomeScreen) {
  Open([](const ScriptedInstaller::Context& context) { WaitFor(context.stop, context.stop); });
  ::PostMessageW(driver_.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(2, Result());
  ended_ = false;
  Open([](const ScriptedInstaller::Context& context) { WaitFor(context.stop, context.stop); });
  // Esc only counts; the window stays.
  ASSERT_TRUE(driver_.PressKey(VK_ESCAPE));
  EXPECT_EQ(-100, Result(500));
  ASSERT_TRUE(driver_.ClickControl(kCloseButtonId));
  EXPECT_EQ(kCloseButtonId, Result());
}

TEST_F(MainWindowTest, TheDefaultBrowserChoiceIsHiddenOnWindowsEightAndWhenFixed) {
  struct Case {
    DWORD major, minor;
    const char* def;
    bool shown;
  };
  for (const Case& c : {Case{10, 0, nullptr, true}, Case{6, 2, nullptr, false},
                        Case{6, 3, nullptr, false}, Case{10, 0, "1", false}}) {
    facts_.SetWindowsVersion(c.major, c.minor, c.major == 10 ? 19045 : 9600);
    params_.values.clear();
    if (c.def)
      params_.values["def"] = c.def;
    ended_ = false;
    Open([](const ScriptedInstaller::Context& context) { WaitFor(context.stop, context.stop); });
    EXPECT_EQ(c.shown, Visible(kDefaultBrowserCheckboxId)) << c.major << "." << c.minor;
    EXPECT_TRUE(Visible(kStatisticsCheckboxId));
    EXPECT_TRUE(Visible(kPrivacyLinkId));
    driver_.ClickControl(kCloseButtonId);
    EXPECT_EQ(kCloseButtonId, Result());
  }
}

TEST_F(MainWindowTest, AFixedStatisticsChoiceRemovesItsCheckboxAndLink) {
  params_.values["stat"] = "1";
  Open([](const ScriptedInstaller::Context& context) { WaitFor(context.stop, context.stop); });
  EXPECT_FALSE(Visible(kStatisticsCheckboxId));
  EXPECT_FALSE(Visible(kPrivacyLinkId));
  EXPECT_TRUE(Visible(kDefaultBrowserCheckboxId));
  driver_.ClickControl(kCloseButtonId);
  EXPECT_EQ(kCloseButtonId, Result());
}

TEST_F(MainWindowTest, TheShortcutCheckboxIsNeverShownAndPinsOnlyInTrialStatesZeroAndTwo) {
  for (int state : {0, 1, 2, 3}) {
    params_.values["nrpin"] = std::to_string(state);
    ended_ = false;
    Open([](const ScriptedInstaller::Context& context) { WaitFor(context.stop, context.stop); });
    EXPECT_FALSE(Visible(kShortcutCheckboxId)) << state;
    ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
    ASSERT_TRUE(driver_.WaitForControl(kProgressBarId));
    CancelInstallation();
    EXPECT_EQ(kCloseButtonId, Result());
    EXPECT_EQ(state == 0 || state == 2 ? 1 : 0, installer_nrpin_) << state;
  }
}

TEST_F(MainWindowTest, WithTheWelcomeScreenSkippedAnErrorWaitsForEnter) {
  params_.values = {{"first", "1"}, {"def", "2"}, {"stat", "1"}};
  HANDLE reported = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Open([&](const ScriptedInstaller::Context& context) {
    WaitFor(context.release, context.stop);
    context.delegate->OnInstallError(kInstallErrorDownload);
    ::SetEvent(reported);
    // Finishing does not end a window on which Install was never pressed.
    context.delegate->OnInstallFinished(true);
    WaitFor(context.stop, context.stop);
  });
  // The progress screen comes at once, with the title kept.
  EXPECT_TRUE(Visible(kProgressBarId));
  EXPECT_FALSE(Exists(kInstallButtonId));
  EXPECT_TRUE(Visible(kTitleId));
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(reported, 30000));
  EXPECT_FALSE(driver_.WaitForOtherDialog(500));
  ASSERT_TRUE(driver_.PressKey(VK_RETURN));
  HWND dialog = driver_.WaitForOtherDialog();
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(driver_.ClickControl(IDOK, dialog));
  EXPECT_EQ(1, Result());
  ::CloseHandle(reported);
}

TEST(LinkAddressTest, TheLanguageIsAppendedEscapedToAnyAddress) {
  EXPECT_EQ(L"https://x.test/privacy?lang=pt-BR_1",
            MakeLinkAddress("https://x.test/privacy", "pt-BR_1"));
  // An address with a query still gets its own "?lang=".
  EXPECT_EQ(L"https://x.test/eula?v=2?lang=ru", MakeLinkAddress("https://x.test/eula?v=2", "ru"));
  // A hostile language cannot end the address or add arguments.
  EXPECT_EQ(L"https://x.test/?lang=%22%20--x%26a%3D%C3%A9%00",
            MakeLinkAddress("https://x.test/", std::string("\" --x&a=\xC3\xA9\0", 11)));
  // Brand addresses beyond ASCII are UTF-8.
  EXPECT_EQ(L"https://x.test/\u00E9t\u00E9?lang=fr",
            MakeLinkAddress("https://x.test/\xC3\xA9t\xC3\xA9", "fr"));
}

TEST(SetupReportTest, StagesAndImportsGiveTheirBands) {
  std::vector<int> stages;
  for (WPARAM stage : {0, 5, 6, 7, 8, 0x10005})
    stages.push_back(InstallStagePercent(stage));
  EXPECT_THAT(stages, ElementsAre(0, 75, 0, 79, 0, 0));
  std::vector<int> imports;
  for (WPARAM imported : {0, 1, 50, 99, 100}) {
    int percent = -1;
    EXPECT_TRUE(ImportProgressPercent(imported, &percent)) << imported;
    imports.push_back(percent);
  }
  EXPECT_THAT(imports, ElementsAre(80, 80, 90, 99, 100));
  int percent = -1;
  EXPECT_FALSE(ImportProgressPercent(101, &percent));
  EXPECT_FALSE(ImportProgressPercent(static_cast<WPARAM>(-1), &percent));
  EXPECT_EQ(-1, percent);
}

TEST(MessageFilterTest, VistaAndLaterOpenTheFilterEarlierNeedNone) {
  HWND window = ::CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                  nullptr);
  ASSERT_TRUE(window);
  const UINT message = ::RegisterWindowMessageW(kSetInstallProgressMessageName);
  for (int windows_version : {1, 2, 3, 4, 7})
    EXPECT_TRUE(AllowMessageThroughFilter(window, message, windows_version)) << windows_version;
  ::DestroyWindow(window);
}

TEST_F(MainWindowTest, SetupReportsMoveTheBarByBandsAndNothingElseDoes) {
  HANDLE finish = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Open(FinishOn(finish));
  ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
  ASSERT_TRUE(driver_.WaitForControl(kProgressBarId));
  auto shows = [&](const std::wstring& text) {
    return test::PumpUntil([&] { return driver_.StatusText() == text; });
  };
  auto position = [&] {
    return ::SendMessageW(::GetDlgItem(driver_.window(), kProgressBarId), PBM_GETPOS, 0, 0);
  };
  driver_.PostRegistered(kSetInstallProgressMessageName, 5);
  EXPECT_TRUE(shows(L"Installing... 75%"));
  EXPECT_EQ(75, position());
  driver_.PostRegistered(kSetInstallProgressMessageName, 6);
  driver_.PostRegistered(kSetInstallProgressMessageName, 7);
  EXPECT_TRUE(shows(L"Installing... 79%"));
  EXPECT_THAT(Log(), HasSubstr("INFO: --> Installer > MainWindow::OnInstallProgress: 0"));
  const std::pair<int, const wchar_t*> imports[] = {
      {0, L"Installing... 80%"}, {50, L"Installing... 90%"}, {100, L"Almost done... 100%"}};
  for (const auto& [imported, text] : imports) {
    driver_.PostRegistered(kSetImportProgressMessageName, imported);
    EXPECT_TRUE(shows(text)) << imported;
  }
  EXPECT_EQ(100, position());
  EXPECT_THAT(Log(), HasSubstr("INFO: --> Installer > MainWindow::OnImportProgress: 50"));
  // The remaining-time estimate and an import above 100 change nothing; a
  // later report shows they were handled.
  ::PostMessageW(driver_.window(), WM_APP + 101, 30, 0);
  driver_.PostRegistered(kSetImportProgressMessageName, 150);
  driver_.PostRegistered(kSetImportProgressMessageName, 50);
  EXPECT_TRUE(shows(L"Installing... 90%"));
  EXPECT_THAT(Log(), HasSubstr("ERROR: Import progress out of range ignored: 150"));
  EXPECT_THAT(Log(), Not(HasSubstr("Progress update out of range")));
  ::SetEvent(finish);
  EXPECT_EQ(1, Result());
  ::CloseHandle(finish);
}

TEST_F(MainWindowTest, CloseDuringTheInstallationAsksAndOnlyCancelEndsIt) {
  // The redesigned confirmation, which has a close cross.
  brand_.new_identity_dialogs_redesign_ = true;
  HANDLE finish = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Open(FinishOn(finish));
  ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
  ASSERT_TRUE(driver_.WaitForControl(kProgressBarId));
  // Resume twice: the question can be asked again and the run goes on.
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(driver_.ClickControl(kCloseButtonId));
    HWND confirmation = driver_.WaitForOtherDialog();
    ASSERT_TRUE(confirmation) << round;
    ASSERT_TRUE(driver_.ClickControl(IDOK, confirmation));
    EXPECT_EQ(-100, Result(300));
  }
  // Esc on the progress screen only counts.
  ASSERT_TRUE(driver_.PressKey(VK_ESCAPE));
  EXPECT_EQ(-100, Result(300));
  // The confirmation's own close cross counts as Cancel; Esc there does
  // nothing.
  ASSERT_TRUE(driver_.ClickControl(kCloseButtonId));
  HWND confirmation = driver_.WaitForOtherDialog();
  ASSERT_TRUE(confirmation);
  ASSERT_TRUE(driver_.PressKey(VK_ESCAPE, confirmation));
  EXPECT_EQ(-100, Result(300));
  ASSERT_TRUE(driver_.ClickControl(kCloseButtonId, confirmation));
  EXPECT_EQ(kCloseButtonId, Result());
  EXPECT_EQ(1, cancel_count_);
  ::CloseHandle(finish);
}

TEST_F(MainWindowTest, AnInstallationThatEndsDuringTheQuestionKeepsItsResult) {
  HANDLE finish = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Open(FinishOn(finish));
  ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
  ASSERT_TRUE(driver_.WaitForControl(kProgressBarId));
  ASSERT_TRUE(driver_.ClickControl(kCloseButtonId));
  ASSERT_TRUE(driver_.WaitForOtherDialog());
  ::SetEvent(finish);
  EXPECT_EQ(1, Result());
  EXPECT_EQ(0, cancel_count_);
  ::CloseHandle(finish);
}

TEST_F(MainWindowTest, OnlyRestoreAndCloseOfTheSystemMenuAct) {
  Open([](const ScriptedInstaller::Context& context) { WaitFor(context.stop, context.stop); });
  HWND window = driver_.window();
  RECT before;
  ::GetWindowRect(window, &before);
  for (WPARAM command : {SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_CLOSE | 2})
    ::SendMessageW(window, WM_SYSCOMMAND, command, 0);
  RECT after;
  ::GetWindowRect(window, &after);
  EXPECT_TRUE(::EqualRect(&before, &after));
  EXPECT_FALSE(::IsIconic(window));
  EXPECT_EQ(-100, Result(200));
  // Collapse minimises, the taskbar's restore brings the window back.
  ::SendMessageW(window, WM_COMMAND, kCollapseButtonId, 0);
  EXPECT_TRUE(::IsIconic(window));
  ::SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(::IsIconic(window));
  ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(2, Result());
}

TEST_F(MainWindowTest, TabWalksTheControlsAndArrowsMoveOnlyBetweenInstallAndLicence) {
  Open([](const ScriptedInstaller::Context& context) { WaitFor(context.stop, context.stop); });
  ASSERT_TRUE(test::PumpUntil([&] { return FocusedId(driver_.window()) == kInstallButtonId; }));
  std::vector<int> walk;
  for (int i = 0; i < 6; ++i) {
    ASSERT_TRUE(driver_.PressKey(VK_TAB));
    test::PumpUntil([&] { return FocusedId(driver_.window()) != (walk.empty() ? 1 : walk.back()); },
                    1000);
    walk.push_back(FocusedId(driver_.window()));
  }
  EXPECT_THAT(walk, ElementsAre(kLicenseLinkId, kPrivacyLinkId, kStatisticsCheckboxId,
                                kDefaultBrowserCheckboxId, kCloseButtonId, kInstallButtonId));
  // Arrows elsewhere move nothing.
  ASSERT_TRUE(driver_.PressKey(VK_TAB));
  ASSERT_TRUE(test::PumpUntil([&] { return FocusedId(driver_.window()) == kLicenseLinkId; }));
  ASSERT_TRUE(driver_.PressKey(VK_TAB));
  ASSERT_TRUE(test::PumpUntil([&] { return FocusedId(driver_.window()) == kPrivacyLinkId; }));
  ASSERT_TRUE(driver_.PressKey(VK_LEFT));
  ASSERT_TRUE(driver_.PressKey(VK_DOWN));
  test::PumpUntil([] { return false; }, 200);
  EXPECT_EQ(kPrivacyLinkId, FocusedId(driver_.window()));
  ::SendMessageW(driver_.window(), WM_NEXTDLGCTL,
                 reinterpret_cast<WPARAM>(::GetDlgItem(driver_.window(), kInstallButtonId)), TRUE);
  // One press each way.
  ASSERT_TRUE(driver_.PressKey(VK_LEFT));
  EXPECT_TRUE(test::PumpUntil([&] { return FocusedId(driver_.window()) == kLicenseLinkId; }));
  ASSERT_TRUE(driver_.PressKey(VK_RIGHT));
  EXPECT_TRUE(test::PumpUntil([&] { return FocusedId(driver_.window()) == kInstallButtonId; }));
  ASSERT_TRUE(driver_.PressKey(VK_UP));
  EXPECT_TRUE(test::PumpUntil([&] { return FocusedId(driver_.window()) == kLicenseLinkId; }));
  driver_.ClickControl(kCloseButtonId);
  EXPECT_EQ(kCloseButtonId, Result());
}

// The prompt as a user who declines it (hInstApp 5) or as a launch that
// failed otherwise (2) answers; counts the launches.
std::atomic<int> g_launches{0};
INT_PTR g_launch_answer = SE_ERR_ACCESSDENIED;
BOOL WINAPI FailedLaunch(SHELLEXECUTEINFOW* info) {
  ++g_launches;
  info->hInstApp = reinterpret_cast<HINSTANCE>(g_launch_answer);
  ::SetLastError(ERROR_CANCELLED);
  return FALSE;
}

// An administrator is asked for the elevated copy when Install is pressed
// (mode 0) or as the window opens (mode 1); a user outside the group never
// is. A failed prompt lets the installation go on in this process, and
// setup is told of a refusal only.
TEST_F(MainWindowTest, TheWindowStartsTheElevatedCopyByItsMode) {
  struct Case {
    bool admin;
    const char* mode;
    INT_PTR answer;
    int launches_at_open;
    int launches;
    bool disable_uac;
  };
  const Case cases[] = {
      {true, "0", SE_ERR_ACCESSDENIED, 0, 1, true},
      {true, "0", 2, 0, 1, false},
      {false, "0", SE_ERR_ACCESSDENIED, 0, 0, false},
      {true, "1", SE_ERR_ACCESSDENIED, 1, 1, true},
  };
  SetShellExecuteExForTesting(&FailedLaunch);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "admin " << c.admin << ", mode " << c.mode << ", answer "
                                    << c.answer);
    facts_.SetAdminGroupMembership(c.admin);
    params_.values["uac"] = c.mode;
    g_launches = 0;
    g_launch_answer = c.answer;
    ScriptedInstaller::stats() = std::make_shared<test::StatRecord>();
    std::atomic<bool> disable_uac{false};
    std::atomic<bool> holder{true};
    base::ScopedKernelHandle checked(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Open([&](const ScriptedInstaller::Context& context) {
      if (!WaitFor(context.release, context.stop))
        return;
      disable_uac = context.installer->BuildSetupCommandLine(L"C:\\a.exe", true)
                        .HasSwitch("disable-uac");
      holder = context.installer->elevated_process_holder() != nullptr;
      ::SetEvent(checked.get());
      WaitFor(context.stop, context.stop);
    });
    EXPECT_EQ(c.launches_at_open, g_launches.load());
    ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(checked.get(), 30000));
    EXPECT_EQ(c.launches, g_launches.load());
    EXPECT_EQ(c.disable_uac, disable_uac.load());
    EXPECT_FALSE(holder.load());
    int declined_events = 0;
    for (const std::string& url : ScriptedInstaller::stats()->urls())
      declined_events += url.find("clicked_button=uac_declined") != std::string::npos;
    EXPECT_EQ(c.launches, declined_events);
    CancelInstallation();
    EXPECT_EQ(kCloseButtonId, Result());
    ended_ = false;
  }
  SetShellExecuteExForTesting(nullptr);
  EXPECT_THAT(Log(), HasSubstr("INFO: Declined running the installer as admin"));
  EXPECT_THAT(Log(), HasSubstr("INFO: User is not in admin group."));
}

}  // namespace
}  // namespace lite_installer

namespace lite_installer {
namespace {

RECT WindowRect(HWND window) {
  RECT rect = {};
  ::GetWindowRect(window, &rect);
  return rect;
}

// CPU time of `thread` in milliseconds.
double ThreadCpuMs(HANDLE thread) {
  FILETIME created, exited, kernel, user;
  if (!::GetThreadTimes(thread, &created, &exited, &kernel, &user))
    return -1;
  auto ms = [](const FILETIME& t) {
    return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

class MainWindowPaintingTest : public MainWindowTest {
 protected:
  void OpenIdle() {
    Open([](const ScriptedInstaller::Context& context) { WaitFor(context.stop, context.stop); });
  }
  void Close() {
    driver_.ClickControl(kCloseButtonId);
    if (Result() == -100)
      ::PostMessageW(driver_.window(), kEndDialogMessage, 99, 0);
  }
};

// Both offered: the default-browser checkbox starts 4 pixels under the
// statistics label, whatever its height; alone it takes the upper place;
// with both choices fixed neither shows. The privacy link sits inside the
// statistics label.
TEST_F(MainWindowPaintingTest, TheCheckboxesStackUnderTheStatisticsLabel) {
  OpenIdle();
  const RECT statistics = driver_.ControlRect(kStatisticsCheckboxId);
  const RECT default_browser = driver_.ControlRect(kDefaultBrowserCheckboxId);
  EXPECT_EQ(59, statistics.left);
  EXPECT_EQ(207, statistics.top);
  EXPECT_EQ(454, statistics.right);
  EXPECT_GT(statistics.bottom, statistics.top + 12);
  EXPECT_EQ(statistics.bottom + 4, default_browser.top);
  EXPECT_GT(default_browser.bottom, default_browser.top);
  const RECT link = driver_.ControlRect(kPrivacyLinkId);
  EXPECT_GE(link.top, statistics.top);
  EXPECT_LE(link.bottom, statistics.bottom);
  EXPECT_GT(link.right, link.left);
  Close();

  params_.values = {{"stat", "1"}};
  ended_ = false;
  OpenIdle();
  EXPECT_FALSE(Visible(kStatisticsCheckboxId));
  EXPECT_EQ(207, driver_.ControlRect(kDefaultBrowserCheckboxId).top);
  Close();

  params_.values = {{"stat", "1"}, {"def", "1"}};
  ended_ = false;
  OpenIdle();
  EXPECT_FALSE(Visible(kStatisticsCheckboxId));
  EXPECT_FALSE(Visible(kDefaultBrowserCheckboxId));
  Close();
}

// Windows 10: the rounded region, the shadow around the window, darker than
// the backdrop at the window's edge and fading outward; it goes with
// Collapse, stays away while the window is minimised and comes back with
// the first paint after the restore.
TEST_F(MainWindowPaintingTest, TheShadowSurroundsTheWindowAndLeavesWithCollapse) {
  const COLORREF backdrop_colour = RGB(0xe0, 0xe8, 0xd0);
  test::BackdropWindow backdrop({0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                                 ::GetSystemMetrics(SM_CYSCREEN)},
                                backdrop_colour);
  OpenIdle();
  HWND window = driver_.window();
  const RECT rect = WindowRect(window);
  EXPECT_EQ(802, rect.right - rect.left);
  EXPECT_EQ(430, rect.bottom - rect.top);

  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(COMPLEXREGION, ::GetWindowRgn(window, region));
  EXPECT_FALSE(::PtInRegion(region, 0, 0));
  EXPECT_FALSE(::PtInRegion(region, 801, 429));
  EXPECT_TRUE(::PtInRegion(region, 9, 9));
  EXPECT_TRUE(::PtInRegion(region, 400, 0));
  ::DeleteObject(region);

  HWND shadow = driver_.ShadowWindow();
  ASSERT_TRUE(shadow);
  ASSERT_TRUE(test::PumpUntil([&] { return ::IsWindowVisible(shadow) != FALSE; }));
  EXPECT_EQ(test::Grown(rect, 8), WindowRect(shadow));
  const test::Pixels shot = test::CaptureScreenForCurrentTest(test::Grown(rect, 8), "welcome");
  ASSERT_FALSE(shot.empty());
  // Middle of the left and the bottom margin, from the window outward.
  EXPECT_TRUE(test::FadesOutward(shot, {8, 8 + 215}, {-1, 0}, 8, backdrop_colour));
  EXPECT_TRUE(test::FadesOutward(shot, {8 + 401, 8 + 429}, {0, 1}, 8, backdrop_colour));
  // The pixel at (r, r) belongs to the window, not to the backdrop.
  EXPECT_NE(backdrop_colour, test::ToColorRef(shot.At(8 + 9, 8 + 9)));

  ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
  ASSERT_TRUE(driver_.WaitForControl(kCollapseButtonId));
  ASSERT_TRUE(test::PumpUntil([&] { return ::IsWindowVisible(shadow) != FALSE; }));
  ASSERT_TRUE(driver_.ClickControl(kCollapseButtonId));
  ASSERT_TRUE(test::PumpUntil([&] { return ::IsIconic(window) != FALSE; }));
  // Minimised, with the 20 ms timer still invalidating: no shadow, and the
  // window's thread stays mostly idle.
  HANDLE thread = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE,
                               ::GetWindowThreadProcessId(window, nullptr));
  ASSERT_TRUE(thread);
  const double cpu_before = ThreadCpuMs(thread);
  const DWORD start = ::GetTickCount();
  test::PumpUntil([] { return false; }, 1000);
  const double busy = (ThreadCpuMs(thread) - cpu_before) / (::GetTickCount() - start);
  ::CloseHandle(thread);
  printf("window thread busy while minimised: %.1f %%\n", busy * 100);
  EXPECT_LT(busy, 0.2);
  EXPECT_FALSE(::IsWindowVisible(shadow));
  ::PostMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(test::PumpUntil([&] { return ::IsWindowVisible(shadow) != FALSE; }));
  EXPECT_EQ(test::Grown(WindowRect(window), 8), WindowRect(shadow));
  CancelInstallation();
  EXPECT_EQ(kCloseButtonId, Result());
}

// The shadow follows a drag of the window step by step.
TEST_F(MainWindowPaintingTest, TheShadowFollowsADrag) {
  OpenIdle();
  HWND window = driver_.window();
  HWND shadow = driver_.ShadowWindow();
  ASSERT_TRUE(shadow);
  ASSERT_TRUE(test::PumpUntil([&] { return test::BringToForeground(window); }, 2000));
  const RECT before = WindowRect(window);
  // A point of the background, away from every control.
  const POINT from = test::ScreenPointOf(window, POINT{500, 60});
  ASSERT_TRUE(test::Drag(from, POINT{-40, 30}, 4, [&](int) {
    test::PumpUntil([] { return false; }, 50);
    return true;
  }));
  test::PumpUntil([&] { return WindowRect(window).left != before.left; });
  const RECT after = WindowRect(window);
  EXPECT_EQ(before.left - 40, after.left);
  EXPECT_EQ(before.top + 30, after.top);
  EXPECT_TRUE(test::PumpUntil([&] { return WindowRect(shadow) == test::Grown(after, 8); }))
      << WindowRect(shadow) << " around " << after;
  Close();
}

// Benchmark, not a test (tools/bench/progress_paint_cpu.sh runs it): the
// share of one core that the window's thread uses on the progress screen,
// repainted 50 times a second with the shadow recomposed each time.
TEST_F(MainWindowPaintingTest, DISABLED_ProgressScreenCpuShare) {
  OpenIdle();
  ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
  ASSERT_TRUE(driver_.WaitForControl(kProgressBarId));
  HANDLE thread = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE,
                               ::GetWindowThreadProcessId(driver_.window(), nullptr));
  ASSERT_TRUE(thread);
  test::PumpUntil([] { return false; }, 1000);
  FILETIME created, exited, kernel, user;
  auto process_ms = [&] {
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
      return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
  };
  const double thread_before = ThreadCpuMs(thread);
  const double process_before = process_ms();
  const DWORD start = ::GetTickCount();
  test::PumpUntil([] { return false; }, 10000);
  const double elapsed = ::GetTickCount() - start;
  printf("progress screen, %.0f ms: window thread %.1f %%, whole process %.1f %% of one core\n",
         elapsed, 100 * (ThreadCpuMs(thread) - thread_before) / elapsed,
         100 * (process_ms() - process_before) / elapsed);
  ::CloseHandle(thread);
  CancelInstallation();
  EXPECT_EQ(kCloseButtonId, Result());
}

// In the light and dark themes and with the Windows 7 pieces, the shadow's
// margin is darker than the backdrop next to the window and fades outward.
// Before Windows 8 the window is rectangular.
TEST_F(MainWindowPaintingTest, TheShadowFadesOutwardInEveryTheme) {
  const COLORREF backdrop_colour = RGB(0xe0, 0xe8, 0xd0);
  test::BackdropWindow backdrop({0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                                 ::GetSystemMetrics(SM_CYSCREEN)},
                                backdrop_colour);
  struct Case {
    const char* name;
    bool dark;
    DWORD major, minor, build;
  };
  for (const Case& c : {Case{"light", false, 10, 0, 19045}, Case{"dark", true, 10, 0, 19045},
                        Case{"windows7", false, 6, 1, 7601}}) {
    SCOPED_TRACE(c.name);
    facts_.SetWindowsVersion(c.major, c.minor, c.build);
    brand_.dark_theme_enabled_ = c.dark;
    params_.values = {{"darktheme", c.dark ? "1" : "0"}};
    ended_ = false;
    OpenIdle();
    HWND window = driver_.window();
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(c.major < 10 ? ERROR : COMPLEXREGION, ::GetWindowRgn(window, region));
    ::DeleteObject(region);
    HWND shadow = driver_.ShadowWindow();
    ASSERT_TRUE(shadow);
    ASSERT_TRUE(test::PumpUntil([&] { return ::IsWindowVisible(shadow) != FALSE; }));
    const RECT rect = WindowRect(window);
    EXPECT_EQ(test::Grown(rect, 8), WindowRect(shadow));
    const test::Pixels shot = test::CaptureScreenForCurrentTest(test::Grown(rect, 8), c.name);
    ASSERT_FALSE(shot.empty());
    // Middle of the right and the top margin, from the window outward.
    EXPECT_TRUE(test::FadesOutward(shot, {8 + 801, 8 + 215}, {1, 0}, 8, backdrop_colour));
    EXPECT_TRUE(test::FadesOutward(shot, {8 + 401, 8}, {0, -1}, 8, backdrop_colour));
    Close();
  }
}

// With the welcome screen skipped the progress screen keeps the title, with
// string 411, and shows the logo over the first built-in slide, the
// skipped-welcome background, whose colour the transparent pixels of Close
// and Collapse show too.
TEST_F(MainWindowPaintingTest, TheSkippedWelcomeKeepsItsTitleAndLogoOnTheFirstSlide) {
  params_.values = {{"first", "1"}, {"def", "2"}, {"stat", "1"}};
  OpenIdle();
  ASSERT_TRUE(driver_.WaitForControl(kCollapseButtonId));
  wchar_t title[256] = {};
  ::GetDlgItemTextW(driver_.window(), kTitleId, title, 256);
  EXPECT_EQ(LoadLocalizedString(411, 1033), title);
  EXPECT_TRUE(Visible(kTitleId));
  EXPECT_EQ(61, driver_.ControlRect(kTitleId).left);
  test::PumpUntil([] { return false; }, 200);
  const RECT rect = WindowRect(driver_.window());
  const test::Pixels shot = test::CaptureScreenForCurrentTest(rect);
  ASSERT_FALSE(shot.empty());
  // The logo's tile, and the slide's band at (700, 60).
  EXPECT_EQ(RGB(0x3b, 0x4b, 0xd8), test::ToColorRef(shot.At(61 + 3, 41 + 11)));
  const COLORREF band = RGB(0xe2, 0xee, 0xf8);
  EXPECT_EQ(band, test::ToColorRef(shot.At(700, 60)));
  for (int id : {kCloseButtonId, kCollapseButtonId}) {
    const RECT button = driver_.ControlRect(id);
    EXPECT_EQ(band, test::ToColorRef(shot.At(button.left + 1, button.top + 1))) << id;
  }
  CancelInstallation();
  EXPECT_EQ(kCloseButtonId, Result());
}

// The extent of `text` in `font`, laid out as the window draws it (with
// DT_WORDBREAK at `width`, or on one line when `width` is 0).
SIZE TextExtent(HFONT font, const std::wstring& text, int width) {
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  RECT rect = {0, 0, width, 0};
  ::DrawTextW(dc, text.c_str(), -1, &rect,
              DT_CALCRECT | (width > 0 ? DT_WORDBREAK : DT_SINGLELINE));
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::DeleteObject(font);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

std::wstring ControlText(HWND control) {
  wchar_t text[512] = {};
  ::GetWindowTextW(control, text, 512);
  return text;
}

// Every language's texts fit their places in the product's own faces, at
// the factor of this process: the suite runs these once at the screen's
// factor and once more with "--force-device-scale-factor=1.5".
class MainWindowTextFitTest : public MainWindowTest,
                              public testing::WithParamInterface<LANGID> {};

TEST_P(MainWindowTextFitTest, TextsStayInsideTheirPlaces) {
  const LANGID language = GetParam();
  brand_.language_id_ = language;
  Open(nullptr);
  HWND window = driver_.window();
  const double factor = GetDeviceScaleFactor();
  auto layout = CreateInstallationWindowLayout(&brand_, &params_, 3);
  auto theme = CreateInstallationWindowTheme(&brand_, &params_, layout, factor);
  SCOPED_TRACE(testing::Message() << "language " << language << " at " << factor);
  auto fits = [&](SIZE text, const RECT& place, UINT id) {
    EXPECT_LE(text.cx, place.right - place.left) << "id " << id << " too wide";
    EXPECT_LE(text.cy, place.bottom - place.top) << "id " << id << " too high";
  };

  // The welcome title ends above the first checkbox, which its rectangle
  // reaches under.
  RECT title = driver_.ControlRect(kTitleId);
  ASSERT_EQ(ScaleRect(layout->GetTitleRect()).right, title.right);
  title.bottom = std::min(title.bottom, driver_.ControlRect(kStatisticsCheckboxId).top);
  fits(TextExtent(theme->CreateTitleFont(), ControlText(::GetDlgItem(window, kTitleId)),
                  title.right - title.left),
       title, theme->GetTitleStringId());
  // The title the progress screen shows when the welcome screen is skipped.
  const RECT skipped_title = ScaleRect(layout->GetTitleRect(true));
  fits(TextExtent(theme->CreateTitleFont(), LoadLocalizedString(411, language),
                  skipped_title.right - skipped_title.left),
       skipped_title, 411);

  const RECT status = ScaleRect(layout->GetStatusRect());
  const std::wstring prefixes[] = {LoadLocalizedString(412, language),
                                   LoadLocalizedString(413, language),
                                   LoadLocalizedString(414, language)};
  for (int percent : {0, 40, 41, 90, 91, 100}) {
    fits(TextExtent(theme->CreateTextFont(),
                    FormatProgressStatus(percent, prefixes[0], prefixes[1], prefixes[2]), 0),
         status, percent <= 40 ? 412 : percent <= 90 ? 413 : 414);
  }

  const RECT install = driver_.ControlRect(kInstallButtonId);
  const RECT statistics = driver_.ControlRect(kStatisticsCheckboxId);
  const RECT privacy = driver_.ControlRect(kPrivacyLinkId);
  const RECT default_browser = driver_.ControlRect(kDefaultBrowserCheckboxId);
  ASSERT_TRUE(Visible(kStatisticsCheckboxId) && Visible(kDefaultBrowserCheckboxId));
  EXPECT_LE(statistics.bottom, default_browser.top) << "id 427";
  EXPECT_LE(privacy.bottom, default_browser.top) << "id 427";
  EXPECT_LE(default_browser.bottom, install.top) << "id " << theme->GetDefaultBrowserStringId();

  const RECT license = ScaleRect(layout->GetLicenseRect());
  int pieces = 0;
  for (HWND child = ::GetWindow(window, GW_CHILD); child;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    const int id = ::GetDlgCtrlID(child);
    if (id != kLicensePieceId && id != kLicenseLinkId)
      continue;
    ++pieces;
    RECT rect = {};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_TRUE(rect.left >= license.left && rect.right <= license.right &&
                rect.top >= license.top && rect.bottom <= license.bottom)
        << "id 463 piece " << testing::PrintToString(ControlText(child)) << " at ("
        << rect.left << ", " << rect.top << ", " << rect.right << ", " << rect.bottom << ")";
  }
  EXPECT_GE(pieces, 2);

  fits(TextExtent(theme->CreateButtonFont(), ControlText(::GetDlgItem(window, kInstallButtonId)), 0),
       install, 415);
  ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_NE(-100, Result());
}

INSTANTIATE_TEST_SUITE_P(EveryLanguage,
                         MainWindowTextFitTest,
                         testing::Values(1028, 1029, 1031, 1033, 1036, 1040, 1041, 1046, 1049,
                                         1055, 1058, 1087, 1091, 2052, 2070, 3082),
                         [](const testing::TestParamInfo<LANGID>& info) {
                           return std::to_string(info.param);
                         });

// The progress screen's slides, from the loopback services (the brand's own
// slide address), changed through the clock seam instead of by waiting.
class MainWindowSlidesTest : public MainWindowTest {
 protected:
  // Microseconds the test moves; everything else keeps the real clock.
  class FakeClock : public base::TickClock {
   public:
    int64_t MonotonicNowUs() const override { return now_us_.load(); }
    void AdvanceMs(int64_t ms) { now_us_ += ms * 1000; }

   private:
    std::atomic<int64_t> now_us_{1'000'000'000};
  };

  void UseSlides(bool dark) {
    dark_ = dark;
    brand_.dark_theme_enabled_ = dark;
    params_.values["darktheme"] = dark ? "1" : "0";
    brand_.slide_url_ = test::FakeServices::Shared().HttpUrl(
        std::string("/browser/installer/") + (dark ? "dark" : "new-identity") + "/en/");
  }
  int Scaled(int value) const { return static_cast<int>(value * GetDeviceScaleFactor()); }
  // The window's colour at design point (x, y), as painted.
  COLORREF ColourAt(int x, int y) {
    HDC dc = ::GetDC(driver_.window());
    const COLORREF colour = ::GetPixel(dc, Scaled(x), Scaled(y));
    ::ReleaseDC(driver_.window(), dc);
    return colour;
  }
  // Within `tolerance` in each channel (JPEG slides are not exact).
  static bool Near(COLORREF a, COLORREF b, int tolerance = 24) {
    auto channel = [](COLORREF c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
    for (int shift : {0, 8, 16}) {
      if (std::abs(channel(a, shift) - channel(b, shift)) > tolerance)
        return false;
    }
    return true;
  }
  // Whether the window comes to show `colour` at the card of the slides.
  bool CardBecomes(COLORREF colour, DWORD timeout_ms = 3000) {
    return test::PumpUntil([&] { return Near(colour, ColourAt(650, 150)); }, timeout_ms);
  }
  void WaitForAllSlides() {
    ASSERT_TRUE(test::PumpUntil(
        [&] {
          MainWindow* window = window_.load();
          return window && window->slide_show() && window->slide_show()->pack() &&
                 !window->slide_show()->pack()->downloading();
        },
        60000));
    // The built-in slides and 02 to 05.
    const size_t builtin = params_.values.count("first") ? 2 : 1;
    EXPECT_EQ(builtin + 4, window_.load()->slide_show()->pack()->slide_count());
  }
  void Screenshot(const std::string& name) {
    RECT window;
    ASSERT_TRUE(::GetWindowRect(driver_.window(), &window));
    EXPECT_FALSE(test::CaptureScreenForCurrentTest(
                     window, name + (dark_ ? "_dark_" : "_light_") +
                                 std::to_string(static_cast<int>(GetDeviceScaleFactor() * 100)))
                     .empty());
  }

  // The card of the built-in progress background, and of slides 02 to 05
  // (the services serve the dark theme's slides of their own).
  COLORREF ProgressCard() const { return dark_ ? RGB(0x34, 0x3a, 0x66) : RGB(0xd6, 0xdb, 0xf5); }
  COLORREF Slide(int number) const {
    static constexpr COLORREF kLight[] = {RGB(0xd8, 0x3a, 0x3a), RGB(0x2f, 0x9e, 0x52),
                                          RGB(0x35, 0x52, 0xd8), RGB(0xe8, 0x9a, 0x1c)};
    static constexpr COLORREF kDark[] = {RGB(0x7a, 0x1f, 0x5c), RGB(0x12, 0x60, 0x4a),
                                         RGB(0x5a, 0x3f, 0xc0), RGB(0x8a, 0x6a, 0x12)};
    return (dark_ ? kDark : kLight)[number - 2];
  }

  FakeClock clock_;
  base::ScopedTickClockForTesting clock_override_{&clock_};
  bool dark_ = false;
};

TEST_F(MainWindowSlidesTest, TheProgressScreenChangesSlidesEveryTenSecondsInBothThemes) {
  for (bool dark : {false, true}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    UseSlides(dark);
    HANDLE finish = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ended_ = false;
    Open(FinishOn(finish));
    ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
    ASSERT_TRUE(driver_.WaitForControl(kProgressBarId));
    WaitForAllSlides();
    EXPECT_TRUE(CardBecomes(ProgressCard()));
    Screenshot("builtin");
    clock_.AdvanceMs(9999);
    EXPECT_FALSE(CardBecomes(Slide(2), 300));
    clock_.AdvanceMs(1);
    EXPECT_TRUE(CardBecomes(Slide(2)));
    Screenshot("slide02");
    clock_.AdvanceMs(10000);
    EXPECT_TRUE(CardBecomes(Slide(3)));
    // 04, 05, then the built-in slide again: one change per period, however
    // late the tick.
    for (COLORREF card : {Slide(4), Slide(5), ProgressCard()}) {
      clock_.AdvanceMs(30000);
      EXPECT_TRUE(CardBecomes(card));
    }
    ::SetEvent(finish);
    EXPECT_EQ(1, Result());
    ::CloseHandle(finish);
  }
  // Each picture was fetched once, PNG on Windows 10, under its theme.
  EXPECT_THAT(Log(), HasSubstr("/browser/installer/new-identity/en/x2/02.png"));
  EXPECT_THAT(Log(), HasSubstr("/browser/installer/dark/en/x2/02.png"));
}

TEST_F(MainWindowSlidesTest, WithoutTheWelcomeScreenItsBackgroundAndTitleGoAtTheFirstChange) {
  UseSlides(false);
  params_.values = {{"first", "1"}, {"def", "2"}, {"stat", "1"}};
  HANDLE finish = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Open(FinishOn(finish));
  ASSERT_TRUE(Visible(kProgressBarId));
  WaitForAllSlides();
  // The welcome background of a skipped welcome screen (its band), the logo
  // over it, and the title.
  const COLORREF welcome_band = RGB(0xe2, 0xee, 0xf8);
  EXPECT_TRUE(test::PumpUntil([&] { return Near(welcome_band, ColourAt(700, 60), 2); }));
  EXPECT_TRUE(Visible(kTitleId));
  Screenshot("welcome_skipped");
  clock_.AdvanceMs(10000);
  EXPECT_TRUE(CardBecomes(ProgressCard()));
  EXPECT_TRUE(test::PumpUntil([&] { return !Exists(kTitleId); }));
  EXPECT_TRUE(Visible(kProgressBarId));
  // Round the others; the second pass opens with the progress background,
  // not the welcome one.
  for (COLORREF card : {Slide(2), Slide(3), Slide(4), Slide(5), ProgressCard()}) {
    clock_.AdvanceMs(10000);
    EXPECT_TRUE(CardBecomes(card));
  }
  EXPECT_FALSE(Near(welcome_band, ColourAt(700, 60), 2));
  clock_.AdvanceMs(10000);
  EXPECT_TRUE(CardBecomes(Slide(2)));
  // The window lives on as long as the show does.
  ::PostMessageW(driver_.window(), kEndDialogMessage, 1, 0);
  EXPECT_EQ(1, Result());
  ::CloseHandle(finish);
}

// Not a test: the benchmark tools/bench/slides_memory.sh runs it by name.
// 10,000 slide changes through the clock seam and seven paints of the real
// window after each, with the process's memory every 1,000 changes: a leak
// per paint would exhaust GDI's 65,000 objects long before the end and stop
// the painting, a leak per slide would show as growth.
TEST_F(MainWindowSlidesTest, DISABLED_BenchmarkSlideChangesAndPaints) {
  UseSlides(false);
  HANDLE finish = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Open(FinishOn(finish));
  ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
  ASSERT_TRUE(driver_.WaitForControl(kProgressBarId));
  WaitForAllSlides();
  HWND window = driver_.window();
  auto sample = [](int changes, int paints) {
    PROCESS_MEMORY_COUNTERS counters = {sizeof(counters)};
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    // The resident size is sampled from outside (tools/bench/slides_memory.sh):
    // a file under /proc opened here is opened by the wineserver.
    std::printf("changes %6d paints %6d pagefile_usage_mb %7.1f working_set_mb %7.1f\n", changes,
                paints, counters.PagefileUsage / 1048576.0, counters.WorkingSetSize / 1048576.0);
    std::fflush(stdout);
  };
  const DWORD start = ::GetTickCount();
  FILETIME created, exited, kernel_before, user_before, kernel_after, user_after;
  HANDLE ui_thread = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE,
                                  ::GetWindowThreadProcessId(window, nullptr));
  ::GetThreadTimes(ui_thread, &created, &exited, &kernel_before, &user_before);
  int paints = 0;
  sample(0, 0);
  constexpr int kChanges = 10000;
  for (int change = 1; change <= kChanges; ++change) {
    clock_.AdvanceMs(kSlideDurationMs);
    ::SendMessageW(window, WM_TIMER, kProgressTimerId, 0);
    for (int paint = 0; paint < 7; ++paint, ++paints)
      ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    if (change % 1000 == 0)
      sample(change, paints);
  }
  ::GetThreadTimes(ui_thread, &created, &exited, &kernel_after, &user_after);
  ::CloseHandle(ui_thread);
  auto seconds = [](const FILETIME& t) {
    return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
  };
  std::printf("%d changes, %d paints in %.1f s; window thread CPU %.1f s\n", kChanges, paints,
              (::GetTickCount() - start) / 1000.0,
              seconds(kernel_after) + seconds(user_after) - seconds(kernel_before) -
                  seconds(user_before));
  // Still painting: the slide of the last change is on screen (10,000 is
  // 0 mod 5, the built-in slide).
  EXPECT_TRUE(CardBecomes(ProgressCard()));
  ::PostMessageW(window, kEndDialogMessage, 1, 0);
  EXPECT_EQ(1, Result());
  ::CloseHandle(finish);
}

}  // namespace
}  // namespace lite_installer
