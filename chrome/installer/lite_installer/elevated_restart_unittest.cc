// The elevated restart: the decision, the launch through the prompt (with
// the launch answered by the test), and the elevated copy as a second real
// process of this test binary, which takes the "run-as-admin" role.

#include "chrome/installer/lite_installer/elevated_restart.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/command_line.h"
#include "base/json.h"
#include "base/strings.h"
#include "brand/brand_package_info.h"
#include "chrome/installer/lite_installer/delayed_params.h"
#include "chrome/installer/lite_installer/main_window.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "logging/file_logger.h"
#include "test/support/fake_system_facts.h"
#include "test/support/recording_delegate.h"
#include "test/support/recording_stat_sender.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_command_line.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace lite_installer {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The elevated copy: this binary started with "run-as-admin" logs into its
// temporary directory and runs the copy's code, as the product does.
LITE_PRODUCT_ROLE_MAIN(RunAsAdmin, "run-as-admin") {
  broupdater::SetFileLogger(std::make_unique<broupdater::FileLogger>(
      broupdater::GetLogFilePath(), broupdater::kLogFileMaxSize));
  return ExecuteAsAdmin();
}

// A parent for a copy started by hand, ended by the test.
LITE_CHILD_MAIN(StandInParent) {
  ::Sleep(60000);
  return 0;
}

std::wstring ExecutablePath() {
  wchar_t exe[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  return std::wstring(exe, length);
}

// What the launch was asked, and how it answers.
struct Launch {
  std::wstring verb;
  std::wstring file;
  std::wstring parameters;
  ULONG mask = 0;
  int show = 0;
  DWORD cb_size = 0;
  bool owner_was_window = false;
  HWND owner = nullptr;
  INT_PTR answer = 0;  // hInstApp of a failed launch
  int calls = 0;

  // The line prepared for setup, from the copy's switches.
  base::CommandLine PreparedSetupLine() const {
    return base::CommandLine::FromString(
        base::CommandLine::FromString(L"copy.exe" + parameters)
            .GetSwitchValue("setup-cmd-line"));
  }
};
Launch g_launch;

BOOL WINAPI FailedLaunch(SHELLEXECUTEINFOW* info) {
  ++g_launch.calls;
  g_launch.cb_size = info->cbSize;
  g_launch.verb = info->lpVerb ? info->lpVerb : L"";
  g_launch.file = info->lpFile ? info->lpFile : L"";
  g_launch.parameters = info->lpParameters ? info->lpParameters : L"";
  g_launch.mask = info->fMask;
  g_launch.show = info->nShow;
  g_launch.owner = info->hwnd;
  g_launch.owner_was_window = ::IsWindow(info->hwnd) != FALSE;
  info->hInstApp = reinterpret_cast<HINSTANCE>(g_launch.answer);
  ::SetLastError(ERROR_CANCELLED);
  return FALSE;
}

// Installs the failing launch for the life of the object.
class ScopedFailedLaunch {
 public:
  explicit ScopedFailedLaunch(INT_PTR answer) {
    g_launch = Launch();
    g_launch.answer = answer;
    SetShellExecuteExForTesting(&FailedLaunch);
  }
  ~ScopedFailedLaunch() { SetShellExecuteExForTesting(nullptr); }
};

class ElevationTest : public test::TestWithLog {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry_.ok());
    facts_.SetWindowsVersion(10, 0, 19045);
  }

  test::ScopedRegistryOverride registry_;
  test::FakeSystemFacts facts_;
  test::ScopedTempDir dir_;
  test::ScopedCommandLine command_line_;
  test::RecordingDelegate delegate_;
};

// The six rules, first match wins, each refusal with its line.
TEST_F(ElevationTest, TheFirstMatchingRuleDecides) {
  struct Case {
    bool admin_group;
    DWORD major, minor;
    const wchar_t* switches;
    bool elevated;
    bool expected;
    const char* line;
  };
  const Case cases[] = {
      {false, 10, 0, L"", true, false, "INFO: User is not in admin group."},
      {true, 5, 1, L"", true, false,
       "INFO: Windows version is not suitable for elevated restart."},
      {true, 6, 0, L" --show-eula --patch", true, false,
       "INFO: Found non install-switch:show-eula"},
      {true, 10, 0, L" --run-as-admin", true, false,
       "INFO: Run-as-admin functionality is already enabled."},
      {true, 10, 0, L" --silent", false, false,
       "INFO: Elevated run is necessary but silent instalation is requested "
       "- UAC will not be shown."},
      {true, 10, 0, L" --silent", true, true, nullptr},
      {true, 10, 0, L" --semi-silent", false, true, nullptr},
      {true, 6, 0, L" --system-level", false, true, nullptr},
  };
  for (const Case& c : cases) {
    facts_.SetAdminGroupMembership(c.admin_group);
    facts_.SetWindowsVersion(c.major, c.minor, 0);
    facts_.SetUserAnAdmin(c.elevated);
    command_line_.Set(std::wstring(L"inst.exe") + c.switches);
    Installer installer(nullptr, nullptr, nullptr, false);
    log_.Clear();
    EXPECT_EQ(c.expected, installer.NeedStartThisProcessAsAdmin()) << c.switches;
    if (c.line) {
      EXPECT_THAT(log_.Messages(), ::testing::ElementsAre(c.line)) << c.switches;
    } else {
      EXPECT_THAT(log_.Messages(), ::testing::IsEmpty()) << c.switches;
    }
  }
}

// A declined prompt: counted, setup told so, no copy and no owner window.
// A prompt that failed otherwise is counted but setup is not told.
TEST_F(ElevationTest, ADeclinedOrFailedPromptGoesOnWithoutACopy) {
  command_line_.Set(L"C:\\dl\\inst.exe --brand-name=x");
  for (INT_PTR answer : {INT_PTR{SE_ERR_ACCESSDENIED}, INT_PTR{2}}) {
    ScopedFailedLaunch launch(answer);
    Installer installer(&delegate_, nullptr, nullptr, false);
    auto stats = std::make_shared<test::StatRecord>();
    test::StatRecord::InstallInto(installer.stat_reporter(), stats);

    EXPECT_FALSE(installer.RestartAsAdmin());
    EXPECT_EQ(1, g_launch.calls);
    EXPECT_EQ(nullptr, installer.elevated_process_holder());
    EXPECT_TRUE(g_launch.owner_was_window);
    EXPECT_FALSE(::IsWindow(g_launch.owner));
    std::vector<std::string> clicked;
    for (const test::StatRequest& request : stats->Requests()) {
      if (request.Has("clicked_button"))
        clicked.push_back(request.Get("clicked_button"));
    }
    EXPECT_THAT(clicked, ::testing::ElementsAre("uac_declined"));
    const bool declined = answer == SE_ERR_ACCESSDENIED;
    EXPECT_EQ(declined, installer.uac_declined());
    EXPECT_EQ(declined,
              installer.BuildSetupCommandLine(L"C:\\arc.exe", true).HasSwitch("disable-uac"));
  }

  // What the prompt was asked to start: this program, elevated, told its
  // parent and the line prepared for setup.
  EXPECT_EQ(sizeof(SHELLEXECUTEINFOW), g_launch.cb_size);
  EXPECT_EQ(L"runas", g_launch.verb);
  EXPECT_EQ(static_cast<ULONG>(SEE_MASK_NOCLOSEPROCESS), g_launch.mask);
  EXPECT_EQ(SW_SHOW, g_launch.show);
  EXPECT_EQ(L"C:\\dl\\inst.exe", g_launch.file);
  const base::CommandLine copy = base::CommandLine::FromString(L"copy.exe" + g_launch.parameters);
  EXPECT_TRUE(copy.HasSwitch("run-as-admin"));
  EXPECT_EQ("x", copy.GetSwitchValueNarrow("brand-name"));
  EXPECT_EQ(std::to_string(::GetCurrentProcessId()),
            copy.GetSwitchValueNarrow("parent-installer-process-id"));
  const base::CommandLine setup = g_launch.PreparedSetupLine();
  EXPECT_EQ(L"fake_browser_arc", setup.GetProgram());
  EXPECT_EQ("1234", setup.GetSwitchValueNarrow("progress-window"));
  EXPECT_EQ("lite", setup.GetSwitchValueNarrow("source"));
  EXPECT_FALSE(setup.HasSwitch("run-as-admin"));
}

// The owner of the prompt: an invisible point in the middle of the work
// area, in front of everything when shown, gone with the holder.
TEST_F(ElevationTest, PromptOwnerIsAPointAtTheWorkAreasCentre) {
  RECT work;
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  for (bool visible : {false, true}) {
    HWND owner = CreatePromptOwnerWindow(visible);
    ASSERT_TRUE(owner);
    RECT rect;
    ASSERT_TRUE(::GetWindowRect(owner, &rect));
    EXPECT_EQ((work.left + work.right) / 2, rect.left);
    EXPECT_EQ((work.top + work.bottom) / 2, rect.top);
    EXPECT_EQ(rect.left, rect.right);
    EXPECT_EQ(rect.top, rect.bottom);
    const LONG_PTR ex_style = ::GetWindowLongPtrW(owner, GWL_EXSTYLE);
    EXPECT_TRUE(ex_style & WS_EX_TOOLWINDOW);
    EXPECT_EQ(visible, (ex_style & WS_EX_TOPMOST) != 0);
    EXPECT_EQ(visible, ::IsWindowVisible(owner) != FALSE);
    EXPECT_TRUE(::GetWindowLongPtrW(owner, GWL_STYLE) & WS_POPUP);
    auto holder = std::make_unique<Installer::ElevatedProcessHolder>();
    holder->SetProcess(nullptr, owner);
    holder.reset();
    EXPECT_FALSE(::IsWindow(owner));
  }
}

// An installer whose A/B-test configuration is written only when the test
// says so, and which then fails its download at once.
class SlowDataInstaller : public Installer {
 public:
  SlowDataInstaller(Delegate* delegate, BrandPackageInfo* brand)
      : Installer(delegate, brand, nullptr, false) {
    set_message_window_poll_ms_for_testing(10);
    test::StatRecord::InstallInto(stat_reporter(), std::make_shared<test::StatRecord>());
  }
  ~SlowDataInstaller() override {
    ::SetEvent(release_.get());
    WaitForInstallAsync();
  }
  bool ExtractResourceByName(const wchar_t* name, const std::wstring& path) override {
    ::WaitForSingleObject(release_.get(), 30000);
    return Installer::ExtractResourceByName(name, path);
  }
  int GetModule(const std::wstring&, std::unique_ptr<PermanentLockFile>*) override {
    return kInstallErrorDownload;
  }
  bool Download(const std::wstring&, installer::DownloadSink*, std::string*,
                std::wstring*) override {
    return true;
  }
  void Release() { ::SetEvent(release_.get()); }

 private:
  base::ScopedKernelHandle release_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// The prepared line is built on the window thread while the install thread
// may still be writing the data files: the restart waits for them, so the
// A/B-test configuration's path is read whole and included; past the wait
// setup gets no data file rather than a torn one.
TEST_F(ElevationTest, ThePreparedLineWaitsForTheDataFiles) {
  command_line_.Set(L"inst.exe");
  BrandPackageInfo brand(dir_.path() + L"\\");
  {
    ScopedFailedLaunch launch(2);
    SlowDataInstaller installer(&delegate_, &brand);
    installer.StartInstallAsync();
    std::thread release([&] {
      ::Sleep(300);
      installer.Release();
    });
    EXPECT_FALSE(installer.RestartAsAdmin());
    release.join();
    const std::wstring abt = g_launch.PreparedSetupLine().GetSwitchValue("abt-config-resource-file");
    EXPECT_EQ(dir_.path() + L"\\", abt.substr(0, dir_.path().size() + 1));
    EXPECT_TRUE(test::PathExists(abt)) << abt;
  }
  {
    ScopedFailedLaunch launch(2);
    SlowDataInstaller installer(&delegate_, &brand);
    installer.set_data_files_wait_ms_for_testing(200);
    installer.StartInstallAsync();
    EXPECT_FALSE(installer.RestartAsAdmin());
    EXPECT_FALSE(g_launch.PreparedSetupLine().HasSwitch("abt-config-resource-file"));
    EXPECT_THAT(Log(), HasSubstr("WARNING: The data files for setup are not ready after 200 ms"));
  }
}

// ---------------------------------------------------------------------------
// The copy as a second process.

// A window of the interactive installer's: it records the percents posted
// to it and has the cancel button.
class InteractiveWindow {
 public:
  InteractiveWindow() {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = &Proc;
    window_class.hInstance = ::GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"LiteElevationTestWindow";
    ::RegisterClassW(&window_class);
    window_ = ::CreateWindowExW(0, window_class.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10,
                                nullptr, nullptr, window_class.hInstance, nullptr);
    cancel_ = ::CreateWindowExW(0, L"BUTTON", L"Cancel", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5,
                                window_, reinterpret_cast<HMENU>(kCancelButtonId),
                                window_class.hInstance, nullptr);
    ::ShowWindow(window_, SW_SHOWNOACTIVATE);
    percents().clear();
  }
  ~InteractiveWindow() { ::DestroyWindow(window_); }

  HWND window() const { return window_; }
  bool CancelVisible() const { return ::IsWindowVisible(cancel_) != FALSE; }
  static std::vector<WPARAM>& percents() {
    static std::vector<WPARAM> values;
    return values;
  }

  // Dispatches this thread's messages until `event` is set; false after
  // `timeout_ms`.
  static bool PumpUntil(HANDLE event, DWORD timeout_ms) {
    const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
    for (;;) {
      const ULONGLONG now = ::GetTickCount64();
      if (now >= deadline)
        return false;
      const DWORD result = ::MsgWaitForMultipleObjects(
          1, &event, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
      if (result == WAIT_OBJECT_0)
        return true;
    }
  }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kProgressUpdateMessage)
      percents().push_back(wparam);
    return ::DefWindowProcW(window, message, wparam, lparam);
  }

  HWND window_ = nullptr;
  HWND cancel_ = nullptr;
};

class WindowDelegate : public test::RecordingDelegate {
 public:
  explicit WindowDelegate(HWND window) : window_(window) {}
  uint32_t GetWindowHandle() override {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window_));
  }

 private:
  HWND window_;
};

class ElevatedCopyTest : public ElevationTest {
 protected:
  void SetUp() override {
    ElevationTest::SetUp();
    archive_ = dir_.Append(L"browser setup.arc");
    ASSERT_TRUE(::CopyFileW((test::ExecutableDir() + L"\\fake_setup_signed.exe").c_str(),
                            archive_.c_str(), FALSE));
    data_file_ = dir_.Append(L"master_preferences");
    ASSERT_TRUE(test::WriteStringToFile(data_file_, "{}"));
    GetDelayedParams().error_kind = 0;
  }
  void TearDown() override { GetDelayedParams().error_kind = 0; }

  // This program's line with `switches`: what the copy inherits.
  void SetCommandLine(const std::wstring& switches) {
    command_line_.Set(L"\"" + ExecutablePath() + L"\" \"--fake-setup-report=" + Report() +
                      L"\" " + switches);
  }
  std::wstring Report() const { return dir_.Append(L"report.json"); }
  std::optional<base::Json> SetupReport() const {
    return base::ParseJson(test::ReadFile(Report()));
  }
  // The shared block as the interactive installer writes it after the
  // archive was verified.
  bool WriteHandOver(const std::wstring& archive) {
    SetupCommandLineInputs inputs;
    inputs.archive_path = archive;
    inputs.installer_data_path = data_file_;
    inputs.download_time = L"3";
    inputs.install_start_time = 77;
    inputs.send_statistics = 1;
    inputs.install_nrpin = 1;
    return Installer::ElevatedProcessHolder::WriteDelayedParams(inputs);
  }
  // Signals the copy and waits for it as the install thread does, while
  // this thread dispatches the window's messages. False on time-out.
  bool RunCopy(Installer* installer, bool* ok) {
    base::ScopedKernelHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread run([&] {
      *ok = installer->elevated_process_holder()->RunModule(installer->stop_event());
      ::SetEvent(done.get());
    });
    const bool ended = InteractiveWindow::PumpUntil(done.get(), 90000);
    if (!ended)
      ::SetEvent(installer->stop_event());
    run.join();
    return ended;
  }
  // The id of the process that logged `text` into the copy's log (0: none).
  DWORD LoggedBy(const std::string& text) const {
    for (const test::LogEntry& entry : copy_log_.Entries()) {
      if (entry.message.find(text) != std::string::npos)
        return entry.process_id;
    }
    return 0;
  }
  std::string CopyLog() const { return copy_log_.Read(); }

  // The copy's temporary directory (and so its log) is the test's folder.
  test::ScopedTempPathOverride temp_path_{dir_.path()};
  test::TestLog copy_log_{dir_.path()};
  std::wstring archive_;
  std::wstring data_file_;
};

// The whole hand-over: the copy runs setup itself, from the line prepared
// at the restart completed with the shared block, and reports to the window.
TEST_F(ElevatedCopyTest, GoRunsSetupInTheCopyReportingToTheWindow) {
  SetCommandLine(L"--do-not-launch-browser");
  InteractiveWindow window;
  WindowDelegate delegate(window.window());
  Installer installer(&delegate, nullptr, nullptr, false);
  ASSERT_TRUE(installer.RestartAsAdmin()) << Log();
  ASSERT_TRUE(WriteHandOver(archive_));
  bool ok = false;
  ASSERT_TRUE(RunCopy(&installer, &ok)) << CopyLog();
  EXPECT_TRUE(ok) << CopyLog();
  EXPECT_EQ(0u, installer.elevated_process_holder()->exit_code());

  std::optional<base::Json> report = SetupReport();
  ASSERT_TRUE(report.has_value()) << CopyLog();
  const DWORD copy_pid = LoggedBy("INFO: Start installer as admin");
  ASSERT_NE(0u, copy_pid) << CopyLog();
  EXPECT_NE(::GetCurrentProcessId(), copy_pid);
  EXPECT_EQ(static_cast<int64_t>(copy_pid), (*report)["parent_process_id"].get<int64_t>());
  EXPECT_EQ(base::WideToUTF8(archive_), (*report)["program"]);
  const base::Json& switches = (*report)["switches"];
  EXPECT_EQ(std::to_string(delegate.GetWindowHandle()), switches["progress-window"]);
  EXPECT_EQ(base::WideToUTF8(data_file_), switches["installerdata"]);
  EXPECT_EQ("3", switches["histogram-download-time"]);
  EXPECT_EQ("77", switches["install-start-time-no-uac"]);
  EXPECT_EQ("", switches["send-statistics"]);
  EXPECT_EQ("lite", switches["source"]);
  EXPECT_EQ("", switches["do-not-launch-browser"]);
  EXPECT_FALSE(switches.contains("run-as-admin"));
  EXPECT_FALSE(switches.contains("disable-uac"));
  EXPECT_TRUE((*report)["files"]["installerdata"]["exists"].get<bool>());

  EXPECT_THAT(InteractiveWindow::percents(), ::testing::Contains(40u));
  EXPECT_FALSE(window.CancelVisible());
  EXPECT_THAT(CopyLog(), HasSubstr("INFO: RunModule results: success=1 error_code=0"));
}

// Setup's failure in the copy reaches the interactive side as its kind;
// an archive gone before the go, or one that fails verification, is never
// run and the copy fails.
TEST_F(ElevatedCopyTest, FailuresInTheCopyReachTheInteractiveSide) {
  struct Case {
    std::wstring archive;
    const wchar_t* switches;
    int32_t error_kind;
    std::string line;
  };
  const std::wstring missing = dir_.Append(L"gone.arc");
  const std::wstring tampered = test::ExecutableDir() + L"\\fake_setup_flipped.exe";
  const Case cases[] = {
      {archive_, L"--fake-setup-exit-code=7", kInstallErrorSetupExit7,
       "INFO: RunModule results: success=0 error_code=7"},
      {missing, L"", kInstallErrorNone,
       "ERROR: Browser archive " + base::WideToUTF8(missing) + " does not exist"},
      {tampered, L"", kInstallErrorNone,
       "ERROR: Module verification failed: " + base::WideToUTF8(tampered)},
  };
  for (const Case& c : cases) {
    SetCommandLine(c.switches);
    copy_log_.Clear();
    ::DeleteFileW(Report().c_str());
    InteractiveWindow window;
    WindowDelegate delegate(window.window());
    Installer installer(&delegate, nullptr, nullptr, false);
    ASSERT_TRUE(installer.RestartAsAdmin()) << Log();
    ASSERT_TRUE(WriteHandOver(c.archive));
    bool ok = true;
    ASSERT_TRUE(RunCopy(&installer, &ok)) << CopyLog();
    EXPECT_FALSE(ok);
    EXPECT_EQ(static_cast<DWORD>(kExitElevatedFailure),
              installer.elevated_process_holder()->exit_code());
    EXPECT_EQ(c.error_kind, GetDelayedParams().error_kind) << c.line;
    EXPECT_THAT(CopyLog(), HasSubstr(c.line));
    EXPECT_EQ(c.error_kind != kInstallErrorNone, test::PathExists(Report())) << c.line;
    GetDelayedParams().error_kind = 0;
  }
}

// An installation that ends before the hand-over cancels the waiting copy,
// which exits at once without running anything.
TEST_F(ElevatedCopyTest, CancelEndsTheWaitingCopy) {
  SetCommandLine(L"");
  {
    Installer installer(nullptr, nullptr, nullptr, false);
    ASSERT_TRUE(installer.RestartAsAdmin()) << Log();
    // Waits until the copy waits.
    for (int i = 0; i < 300 && !LoggedBy("INFO: Start installer as admin"); ++i)
      ::Sleep(50);
    const ULONGLONG start = ::GetTickCount64();
    installer.SetElevatedProcessHolder(nullptr);
    EXPECT_LT(::GetTickCount64() - start, 10000u);
  }
  EXPECT_THAT(CopyLog(),
              HasSubstr("ERROR: Installer started as admin has been unexpectedly synced, wr=1"));
  EXPECT_FALSE(test::PathExists(Report()));
  EXPECT_THAT(Log(), Not(HasSubstr("forcibly terminated")));
}

// A copy started by hand, with the events made here and a stand-in parent.
class HandStartedCopyTest : public ElevatedCopyTest {
 protected:
  test::ChildProcess StartCopy(const std::wstring& parent_id, const std::wstring& setup_switches) {
    base::CommandLine setup(Installer::kPreparedArchivePath);
    // No window to report to: the copy only loses its progress posts.
    setup.AppendSwitch("fake-setup-report", Report());
    const base::CommandLine extra = base::CommandLine::FromString(L"x " + setup_switches);
    for (const auto& [name, value] : extra.switches())
      setup.AppendSwitch(name, value);
    test::ChildProcess copy;
    copy.Start(L"\"" + ExecutablePath() + L"\" --run-as-admin --parent-installer-process-id=" +
               parent_id + L" --setup-cmd-line=" +
               base::CommandLine::QuoteForCommandLine(setup.GetCommandLineString()));
    return copy;
  }
  void CreateEvents() {
    go_.reset(::CreateEventA(nullptr, FALSE, FALSE, Installer::ElevatedProcessHolder::kGoEventName));
    cancel_.reset(
        ::CreateEventA(nullptr, FALSE, FALSE, Installer::ElevatedProcessHolder::kCancelEventName));
  }
  bool WaitForLine(const std::string& text, DWORD timeout_ms = 30000) {
    for (DWORD waited = 0; waited < timeout_ms; waited += 50) {
      if (CopyLog().find(text) != std::string::npos)
        return true;
      ::Sleep(50);
    }
    return false;
  }

  base::ScopedKernelHandle go_;
  base::ScopedKernelHandle cancel_;
};

// The parent's end is one of the copy's wait objects: before the go the
// copy ends within a second; while setup runs it lets setup finish first.
TEST_F(HandStartedCopyTest, TheParentsEndEndsOnlyAWaitingCopy) {
  CreateEvents();
  test::ChildProcess parent = test::StartChild("StandInParent");
  test::ChildProcess copy = StartCopy(std::to_wstring(parent.pid()), L"");
  ASSERT_TRUE(WaitForLine("INFO: Start installer as admin")) << CopyLog();
  const ULONGLONG killed = ::GetTickCount64();
  parent.Terminate();
  ASSERT_TRUE(copy.Wait(10000));
  // A second, with slack for a loaded machine.
  EXPECT_LT(::GetTickCount64() - killed, 2000u);
  EXPECT_EQ(static_cast<DWORD>(kExitElevatedFailure), copy.exit_code());
  EXPECT_THAT(CopyLog(),
              HasSubstr("ERROR: Installer started as admin has been unexpectedly synced, wr=2"));

  copy_log_.Clear();
  const std::wstring release = dir_.Append(L"release");
  test::ChildProcess second_parent = test::StartChild("StandInParent");
  copy = StartCopy(std::to_wstring(second_parent.pid()),
                   L"\"--fake-setup-hold-until=" + release + L"\"");
  ASSERT_TRUE(WaitForLine("INFO: Start installer as admin")) << CopyLog();
  ASSERT_TRUE(WriteHandOver(archive_));
  ::SetEvent(go_.get());
  ASSERT_TRUE(WaitForLine("INFO: Process created: ")) << CopyLog();
  for (int i = 0; i < 600 && !test::PathExists(Report()); ++i)
    ::Sleep(50);
  ASSERT_TRUE(test::PathExists(Report())) << CopyLog();
  second_parent.Terminate();
  EXPECT_FALSE(copy.Wait(500));
  ASSERT_TRUE(test::WriteStringToFile(release, ""));
  ASSERT_TRUE(copy.Wait(30000));
  EXPECT_EQ(static_cast<DWORD>(kExitElevatedSuccess), copy.exit_code()) << CopyLog();
  std::optional<base::Json> report = SetupReport();
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(static_cast<int64_t>(copy.pid()), (*report)["parent_process_id"].get<int64_t>());
}

// A copy started by hand (no events) or given a parent id that is not a
// number fails its wait at once: never a hang, never a setup run.
TEST_F(HandStartedCopyTest, BadInputEndsTheCopyAtOnce) {
  test::ChildProcess no_events = StartCopy(std::to_wstring(::GetCurrentProcessId()), L"");
  ASSERT_TRUE(no_events.Wait(30000));
  EXPECT_EQ(static_cast<DWORD>(kExitElevatedFailure), no_events.exit_code());
  EXPECT_THAT(CopyLog(), HasSubstr("unexpectedly synced, wr=4294967295"));

  copy_log_.Clear();
  CreateEvents();
  test::ChildProcess bad_pid = StartCopy(L"x12", L"");
  ASSERT_TRUE(bad_pid.Wait(30000));
  EXPECT_EQ(static_cast<DWORD>(kExitElevatedFailure), bad_pid.exit_code());
  EXPECT_THAT(CopyLog(), HasSubstr("ERROR: Suspicious process id=x12 - "));
  EXPECT_THAT(CopyLog(), HasSubstr("unexpectedly synced, wr=4294967295"));
  EXPECT_FALSE(test::PathExists(Report()));
}

// A copy that does not end after the installation stopped is given the
// holder's wait and then terminated.
TEST_F(ElevatedCopyTest, AHungCopyIsTerminatedAfterTheWait) {
  const std::wstring release = dir_.Append(L"release");
  SetCommandLine(L"\"--fake-setup-hold-until=" + release + L"\" --fake-setup-wait-ms=20000");
  InteractiveWindow window;
  WindowDelegate delegate(window.window());
  Installer installer(&delegate, nullptr, nullptr, false);
  ASSERT_TRUE(installer.RestartAsAdmin()) << Log();
  ASSERT_TRUE(WriteHandOver(archive_));
  installer.elevated_process_holder()->set_wait_ms_for_testing(300);
  std::thread stop([&] {
    for (int i = 0; i < 600 && !test::PathExists(Report()); ++i)
      ::Sleep(50);
    ::SetEvent(installer.stop_event());
  });
  bool ok = true;
  ASSERT_TRUE(RunCopy(&installer, &ok));
  stop.join();
  EXPECT_FALSE(ok);
  const ULONGLONG start = ::GetTickCount64();
  installer.SetElevatedProcessHolder(nullptr);
  EXPECT_LT(::GetTickCount64() - start, 5000u);
  EXPECT_THAT(Log(), HasSubstr("ERROR: The elevated installer was terminated due to stop event."));
  EXPECT_THAT(Log(), HasSubstr("ERROR: The elevated installer hangs and must be forcibly terminated."));
  // Lets the fake setup end.
  test::WriteStringToFile(release, "");
}

}  // namespace
}  // namespace lite_installer
