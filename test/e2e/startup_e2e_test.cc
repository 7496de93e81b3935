// Runs the real lite_installer.exe and checks what a user or a distributor
// sees: exit codes, log lines and windows.

#include <windows.h>

#include <string>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/e2e/e2e_support.h"
#include "test/support/test_support.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr DWORD kRunTimeoutMs = 120000;

std::wstring InstallerPath() {
  return test::ExecutableDir() + L"\\lite_installer.exe";
}

struct FindWindowData {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
  auto* data = reinterpret_cast<FindWindowData*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(hwnd, &owner);
  if (owner == data->pid && ::IsWindowVisible(hwnd)) {
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

class StartupE2ETest : public testing::Test {
 protected:
  test::ChildProcess Start(const std::wstring& switches) {
    test::ChildProcess process;
    EXPECT_TRUE(process.Start(L"\"" + InstallerPath() + L"\" " + switches,
                              {{L"TMP", dir_.path()}, {L"TEMP", dir_.path()}}));
    return process;
  }
  DWORD RunToEnd(const std::wstring& switches) {
    test::ChildProcess process = Start(switches);
    EXPECT_TRUE(process.Wait(kRunTimeoutMs));
    return process.exit_code();
  }
  std::string Log() {
    std::string text;
    test::ReadFileToString(dir_.Append(L"lite_installer.log"), &text);
    return text;
  }
  // Log lines written by one process.
  std::vector<std::string> LinesOf(DWORD pid) {
    std::vector<std::string> lines;
    const std::string marker = " " + std::to_string(pid) + ":";
    for (const std::string& line : test::SplitLines(Log())) {
      if (line.find(marker) == 23)
        lines.push_back(line);
    }
    return lines;
  }

  test::ScopedTempDir dir_;
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
  std::string second_lines;
  for (const std::string& line : LinesOf(second.pid()))
    second_lines += line + "\n";
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
  EXPECT_EQ(first_window, ::GetForegroundWindow());
  ::DestroyWindow(other);

  // Closing its window without an installation is a cancellation.
  ::PostMessageW(first_window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(first.Wait(kRunTimeoutMs));
  EXPECT_EQ(500u, first.exit_code());
  std::string first_lines;
  for (const std::string& line : LinesOf(first.pid()))
    first_lines += line + "\n";
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

TEST_F(StartupE2ETest, SilentRunGoesStraightToTheInstallation) {
  EXPECT_TRUE(e2e::RunInstallerUntil(L"lite_installer.exe", L"/SILENT",
                                     dir_.path(), "INFO: Install Browser."));
  EXPECT_THAT(Log(), HasSubstr("INFO: Installing in silent mode."));
  EXPECT_THAT(Log(), Not(HasSubstr("LOGGING:")));
}

TEST_F(StartupE2ETest, ElevatedCopyReturnsMinusOneInFull) {
  // The shell would see 255; the full code is -1.
  EXPECT_EQ(static_cast<DWORD>(-1), RunToEnd(L"--run-as-admin"));
}

}  // namespace
