// The installation window in process: a real dialog from template 901 on a
// thread of its own, driven like a user would, with a scripted Installer
// whose thread reports what the test chooses and a recording taskbar.

#include "chrome/installer/lite_installer/main_window.h"

#include <process.h>
#include <psapi.h>

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
#include "chrome/installer/lite_installer/lite_main_window.h"
#include "chrome/installer/lite_installer/scale_factor.h"
#include "chrome/installer/lite_installer/startup.h"
#include "chrome/installer/lite_installer/taskbar_progress.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/fake_services.h"
#include "test/support/fake_system_facts.h"
#include "test/support/fixed_distrib_params.h"
#include "test/support/installer_window_driver.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_test_log.h"
#include "test/support/screen_capture.h"
#include "test/support/ui_input.h"

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
    Installer::Delegate* delegate;
    HANDLE release;  // set by Install
    HANDLE stop;     // set when the window stops the installer
  };
  using Script = std::function<void(const Context&)>;

  ScriptedInstaller(Delegate* delegate, BrandPackageInfo* brand, DistribInfoParams* params)
      : Installer(delegate, brand, params, /*with_async_tasks=*/false) {
    set_thread_wait_ms_for_testing(500);
  }
  ~ScriptedInstaller() override { WaitForInstallAsync(); }

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
      script()({self->delegate(), self->install_after_download_event(), self->stop_event()});
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
  Open([](const ScriptedInstaller::Context& context) {
    if (WaitFor(context.release, context.stop))
      context.delegate->OnInstallError(kInstallErrorSetupExit8);
  });
  ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
  HWND dialog = driver_.WaitForOtherDialog();
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(driver_.ClickControl(IDOK, dialog));
  EXPECT_EQ(1, Result());
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
    if (button)
      EXPECT_TRUE(driver_.ClickControl(button, notice));
    else
      EXPECT_TRUE(driver_.PressKey(VK_ESCAPE, notice));
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
  // The confirmation's own close cross counts as Cancel.
  ASSERT_TRUE(driver_.ClickControl(kCloseButtonId));
  HWND confirmation = driver_.WaitForOtherDialog();
  ASSERT_TRUE(confirmation);
  ASSERT_TRUE(driver_.PressKey(VK_ESCAPE, confirmation));
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

  // The card of the built-in progress background, and of slides 02 and 03.
  COLORREF ProgressCard() const { return dark_ ? RGB(0x34, 0x3a, 0x66) : RGB(0xd6, 0xdb, 0xf5); }
  static constexpr COLORREF kSlide02 = RGB(0xd8, 0x3a, 0x3a);
  static constexpr COLORREF kSlide03 = RGB(0x2f, 0x9e, 0x52);
  static constexpr COLORREF kSlide04 = RGB(0x35, 0x52, 0xd8);
  static constexpr COLORREF kSlide05 = RGB(0xe8, 0x9a, 0x1c);

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
    EXPECT_FALSE(CardBecomes(kSlide02, 300));
    clock_.AdvanceMs(1);
    EXPECT_TRUE(CardBecomes(kSlide02));
    Screenshot("slide02");
    clock_.AdvanceMs(10000);
    EXPECT_TRUE(CardBecomes(kSlide03));
    // 04, 05, then the built-in slide again: one change per period, however
    // late the tick.
    for (COLORREF card : {kSlide04, kSlide05, ProgressCard()}) {
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
  for (COLORREF card : {kSlide02, kSlide03, kSlide04, kSlide05, ProgressCard()}) {
    clock_.AdvanceMs(10000);
    EXPECT_TRUE(CardBecomes(card));
  }
  EXPECT_FALSE(Near(welcome_band, ColourAt(700, 60), 2));
  clock_.AdvanceMs(10000);
  EXPECT_TRUE(CardBecomes(kSlide02));
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
    // The resident size as Linux counts it (Wine maps / to Z:).
    std::string rss = "?";
    if (FILE* status = std::fopen("Z:\\proc\\self\\status", "r")) {
      char line[256];
      while (std::fgets(line, sizeof(line), status)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0)
          rss = std::to_string(std::atol(line + 6) / 1024);
      }
      std::fclose(status);
    }
    std::printf("changes %6d paints %6d pagefile_usage_mb %7.1f working_set_mb %7.1f rss_mb %s\n",
                changes, paints, counters.PagefileUsage / 1048576.0,
                counters.WorkingSetSize / 1048576.0, rss.c_str());
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
