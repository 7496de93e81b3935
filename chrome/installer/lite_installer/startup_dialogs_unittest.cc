// The start-up refusals that an interactive run shows: the start-up
// sequence runs in process on a thread of its own with chosen machine
// facts, and the test answers its dialog with real input.

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "chrome/installer/lite_installer/exit_codes.h"
#include "chrome/installer/lite_installer/localized_strings.h"
#include "chrome/installer/lite_installer/notice_dialogs.h"
#include "chrome/installer/lite_installer/startup.h"
#include "gtest/gtest.h"
#include "test/support/installer_window_driver.h"
#include "test/support/screen_capture.h"
#include "test/support/startup_test.h"
#include "test/support/test_support.h"
#include "test/support/ui_input.h"

namespace lite_installer {
namespace {

constexpr LANGID kEnglish = 1033;
// The message box's text control.
constexpr int kMessageBoxTextId = 0xFFFF;

class StartupDialogTest : public test::StartupTest {
 protected:
  void TearDown() override {
    if (thread_.joinable())
      thread_.join();
    test::StartupTest::TearDown();
  }

  // Starts the sequence of an interactive run; the dialog it shows.
  HWND Start() {
    command_line_.Set(L"\"C:\\dl\\lite_installer.exe\"");
    thread_ = std::thread([this] {
      exit_code_ = wWinMain(::GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOW);
      ended_ = true;
    });
    return driver_.WaitForOtherDialog(30000);
  }
  int ExitCode() {
    test::PumpUntil([&] { return ended_.load(); }, 30000);
    if (!ended_)
      return -100;
    thread_.join();
    return exit_code_;
  }

  test::InstallerWindowDriver driver_{::GetCurrentProcessId()};
  std::thread thread_;
  std::atomic<bool> ended_{false};
  int exit_code_ = 0;
};

TEST_F(StartupDialogTest, TheDiskSpaceNoticeEndsTheRunWith403) {
  facts_.SetFreeDiskSpace(kRequiredDiskSpace - 1);
  HWND notice = Start();
  ASSERT_TRUE(notice);
  EXPECT_EQ(LoadLocalizedString(471, kEnglish), test::WindowText(::GetDlgItem(notice, kDialogTitleId)));
  EXPECT_EQ(LoadLocalizedString(461, kEnglish), test::WindowText(::GetDlgItem(notice, kDialogPrimaryId)));
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(notice, kDialogSecondaryId)));
  ASSERT_TRUE(driver_.ClickControl(kDialogPrimaryId, notice));
  EXPECT_EQ(kExitNotEnoughDiskSpace, ExitCode());
}

TEST_F(StartupDialogTest, TheProcessorBoxNamesTheMissingFeature) {
  struct Case {
    bool sse2, sse3;
    UINT reason;
  } cases[] = {{true, false, 484}, {false, false, 484}, {false, true, 483}};
  for (const Case& c : cases) {
    SetSse(c.sse2, c.sse3);
    ended_ = false;
    HWND box = Start();
    ASSERT_TRUE(box) << c.reason;
    EXPECT_EQ(LoadLocalizedString(481, kEnglish), test::WindowText(box));
    EXPECT_EQ(LoadLocalizedString(482, kEnglish) + L"\n" + LoadLocalizedString(c.reason, kEnglish),
              test::WindowText(::GetDlgItem(box, kMessageBoxTextId)));
    RECT rect = {};
    ::GetWindowRect(box, &rect);
    test::CaptureScreenForCurrentTest(rect, std::to_string(c.reason) + "_" + std::to_string(c.sse2));
    ASSERT_TRUE(driver_.ClickControl(IDOK, box));
    EXPECT_EQ(kExitCpuNotSupported, ExitCode());
  }
}

}  // namespace
}  // namespace lite_installer
