// Runs the real lite_installer.exe and checks what a user or a distributor
// sees: exit codes, log lines and windows.

#include <windows.h>

#include <string>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/e2e/e2e_support.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using e2e::kRunTimeoutMs;

struct FindWindowData {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
  auto* data = reinterpret_cast<FindWindowData*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(hwnd, &owner);
  // Not an owned one: the installation window's drop shadow.
  if (owner == data->pid && ::IsWindowVisible(hwnd) && !::GetWindow(hwnd, GW_OWNER)) {
    data->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND FindVisibleWindowOf(DWORD pid) {
  FindWindowData data = {pid, nullptr};
  ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&data));
  return data.found;
}

HWND WaitForWindowOf(DWORD pid, DWORD timeout_ms) {
  for (DWORD waited = 0; waited < timeout_ms; waited += 50) {
    if (HWND hwnd = FindVisibleWindowOf(pid))
      return hwnd;
    ::Sleep(50);
  }
  return nullptr;
}

class StartupE2ETest : public e2e::InstallerRunTest {
 protected:
  test::ChildProcess Start(const std::wstring& switches) {
    return e2e::StartInstaller(L"lite_installer.exe", switches, dir_.path());
  }
  DWORD RunToEnd(const std::wstring& switches) {
    return e2e::RunInstaller(L"lite_installer.exe", switches, dir_.path());
  }
  // The log entries one process wrote, one a line.
  std::string LinesOf(DWORD pid) {
    std::string lines;
    for (const test::LogEntry& entry : log_.Entries()) {
      if (entry.process_id == pid)
        lines += entry.text + "\n";
    }
    return lines;
  }
};

TEST_F(StartupE2ETest, SecondInteractiveInstanceRaisesTheFirstAndExits600) {
  test::ChildProcess first = Start(L"");
  HWND first_window = WaitForWindowOf(first.pid(), 90000);
  ASSERT_TRUE(first_window) << Log();

  // Another window takes the foreground, as if the user had moved on.
  HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW, 0,
                                 0, 200, 100, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(other);
  ::ShowWindow(other, SW_SHOW);
  ::SetForegroundWindow(other);
  EXPECT_EQ(other, ::GetForegroundWindow());

  test::ChildProcess second = Start(L"--brand-name=yb");
  ASSERT_TRUE(second.WaitPumpingMessages(kRunTimeoutMs));
  EXPECT_EQ(600u, second.exit_code());
  const std::string second_lines = LinesOf(second.pid());
  EXPECT_THAT(
      second_lines,
      HasSubstr("INFO: Another installer instance is already running."));
  EXPECT_THAT(second_lines, HasSubstr("INFO: Master installer process id: " +
                                      std::to_string(first.pid()) + " ("));
  EXPECT_THAT(second_lines, Not(HasSubstr("Installer exit with code")));

  // The first instance is untouched, still running, and its window is in
  // front again.
  EXPECT_TRUE(first.IsRunning());
  EXPECT_TRUE(::IsWindow(first_window));
  // The display tells Wine of the change asynchronously, through this
  // thread's queue (it owns `other`): pump while waiting for it.
  const DWORD raised_by = ::GetTickCount() + 3000;
  while (::GetForegroundWindow() != first_window &&
         static_cast<LONG>(raised_by - ::GetTickCount()) > 0) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      ::DispatchMessageW(&msg);
    ::Sleep(10);
  }
  EXPECT_EQ(first_window, ::GetForegroundWindow());
  ::DestroyWindow(other);

  // Closing its window (Close, 213) without an installation is a
  // cancellation.
  ::PostMessageW(first_window, WM_COMMAND, MAKEWPARAM(213, BN_CLICKED), 0);
  ASSERT_TRUE(first.Wait(kRunTimeoutMs));
  EXPECT_EQ(500u, first.exit_code());
  const std::string first_lines = LinesOf(first.pid());
  EXPECT_THAT(first_lines, HasSubstr("INFO: User cancelled installation."));
  EXPECT_THAT(first_lines, HasSubstr("INFO: Installer exit with code: 500"));
}

TEST_F(StartupE2ETest, CheckTheInterfaceExitsBeforeTheEnvironmentVerdict) {
  EXPECT_EQ(701u, RunToEnd(L"--check-the-interface"));
  std::string log = Log();
  EXPECT_THAT(
      log,
      HasSubstr("INFO: -------------------------------------- Start install."));
  EXPECT_THAT(log, HasSubstr("ret code: 701 (wWinMain:"));
  EXPECT_THAT(log, Not(HasSubstr("secure environment")));
  EXPECT_THAT(log, Not(HasSubstr("Lite installer mode.")));
}

// Wine's shell has none of the internal association interfaces: the copy
// that answers the default-browser check says they are not usable.
TEST_F(StartupE2ETest, CheckTheInterfaceAnswersNotUsableUnderWine) {
  EXPECT_EQ(701u, e2e::RunInstaller(L"lite_installer_local.exe",
                                    L"--check-the-interface", dir_.path()));
  EXPECT_THAT(Log(), HasSubstr("INFO: Handled non install cmd line option by "
                               "win10 default browser helper, ret code: 701 "
                               "(wWinMain:"));
}

TEST_F(StartupE2ETest, SilentRunGoesStraightToTheInstallation) {
  EXPECT_TRUE(RunStartUp(L"lite_installer.exe", L"/SILENT"));
  EXPECT_THAT(Log(), HasSubstr("INFO: Installing in silent mode."));
  EXPECT_THAT(Log(), Not(HasSubstr("LOGGING:")));
}

TEST_F(StartupE2ETest, ElevatedCopyReturnsMinusOneInFull) {
  // The shell would see 255; the full code is -1.
  EXPECT_EQ(static_cast<DWORD>(-1), RunToEnd(L"--run-as-admin"));
}

}  // namespace
