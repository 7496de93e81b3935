#include "chrome/installer/lite_installer/notice_dialogs.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "brand/brand_package_info.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/lite_installer/localized_strings.h"
#include "chrome/installer/lite_installer/scale_factor.h"
#include "chrome/installer/lite_installer/startup.h"
#include "chrome/installer/norvel/util/product_key.h"
#include "deployment_config.h"
#include "gtest/gtest.h"
#include "logging/file_logger.h"
#include "test/support/fake_system_facts.h"
#include "test/support/fixed_distrib_params.h"
#include "test/support/installer_window_driver.h"
#include "test/support/rect_operators.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_command_line.h"
#include "test/support/scoped_test_log.h"
#include "test/support/screen_capture.h"
#include "test/support/ui_input.h"
#include "test/support/link_record.h"

namespace lite_installer {
namespace {

constexpr LANGID kGerman = 1031;
constexpr LANGID kChinese = 2052;

int Scaled(int value) {
  return static_cast<int>(value * GetDeviceScaleFactor());
}

RECT WindowRect(HWND window) {
  RECT rect = {};
  ::GetWindowRect(window, &rect);
  return rect;
}

// The control's rectangle in its dialog's client coordinates.
RECT ItemRect(HWND control) {
  RECT rect = WindowRect(control);
  ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

HWND Body(HWND dialog) {
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (::GetDlgCtrlID(child) == -1)
      return child;
  }
  return nullptr;
}

class NoticeDialogWindowTest : public test::TestWithLog {
 protected:
  void SetUp() override {
    facts_.SetWindowsVersion(10, 0, 19045);
    brand_.language_id_ = kGerman;
  }
  void TearDown() override { Close(); }

  // Runs `dialog` on a thread of its own; its window, once shown.
  HWND Show(std::unique_ptr<NoticeDialog> dialog) {
    Close();
    dialog_ = std::move(dialog);
    ended_ = false;
    thread_ = std::thread([this] {
      ScopedUiLibraries libraries;
      result_ = dialog_->Run();
      ended_ = true;
    });
    return window_ = driver_.WaitForOtherDialog();
  }
  // The dialog's result once it ended (-100 when it did not, in time).
  INT_PTR Result(DWORD timeout_ms = 10000) {
    test::PumpUntil([&] { return ended_.load(); }, timeout_ms);
    if (!ended_)
      return -100;
    thread_.join();
    return result_;
  }
  // Clicks button `id` of `window` and returns the dialog's result. On a
  // loaded display a click can be lost before the dialog takes input; when
  // the dialog is still open after 5 s, it is clicked once more.
  INT_PTR ClickForResult(int id, HWND window) {
    if (!driver_.ClickControl(id, window))
      return -101;
    const INT_PTR result = Result(5000);
    if (result != -100 || !::IsWindowVisible(window))
      return result;
    if (!driver_.ClickControl(id, window))
      return -101;
    return Result();
  }
  void Close() {
    if (!thread_.joinable())
      return;
    if (!ended_ && window_)
      ::PostMessageW(window_, WM_COMMAND, MAKEWPARAM(kDialogCrossId, BN_CLICKED), 0);
    thread_.join();
  }

  // Every dialog of both catalogues in the brand's language.
  std::vector<std::pair<std::string, std::unique_ptr<NoticeDialog>>> Catalogues() {
    std::vector<std::pair<std::string, std::unique_ptr<NoticeDialog>>> dialogs;
    std::unique_ptr<DialogFactory> factory = CreateDialogFactory();
    brand_.new_identity_dialogs_redesign_ = false;
    for (int type : {0, 3, 4})
      dialogs.emplace_back("classic_notice" + std::to_string(type),
                           factory->CreateSetupNotice(type, &brand_, &params_));
    dialogs.emplace_back("classic_disk_space",
                         CreateClassicDialog(ClassicDialogContent(ClassicDialog::kNotEnoughDiskSpace),
                                             brand_.language_id_));
    dialogs.emplace_back("classic_unsupported_windows",
                         factory->CreateUnsupportedSystemNotice(&brand_));
    dialogs.emplace_back("classic_cancel", factory->CreateCancelConfirmation(&brand_, &params_));
    brand_.new_identity_dialogs_redesign_ = true;
    for (int type : {0, 3, 4})
      dialogs.emplace_back("redesigned" + std::to_string(type),
                           factory->CreateSetupNotice(type, &brand_, &params_));
    dialogs.emplace_back("redesigned2", factory->CreateUnsupportedSystemNotice(&brand_));
    dialogs.emplace_back("redesigned7", factory->CreateCancelConfirmation(&brand_, &params_));
    std::unique_ptr<ErrorDialogFactory> errors = factory->CreateErrorDialogFactory(&brand_, &params_);
    // Error kinds 3, 1, 4, 5, 6, 7 give dialogs 5, 6, 8, 9, 10, 11.
    for (int kind : {3, 1, 4, 5, 6, 7})
      dialogs.emplace_back("redesigned_error" + std::to_string(kind), errors->CreateForErrorKind(kind));
    test::ScopedCommandLine without_download(
        L"lite_installer.exe --disable-error-dialog-download-button");
    dialogs.emplace_back("redesigned12", errors->CreateForErrorKind(1));
    return dialogs;
  }

  // Shows every dialog and checks its texts, size, buttons and shadow;
  // keeps a screenshot of each.
  void CheckCatalogues(LANGID language) {
    brand_.language_id_ = language;
    const std::string scale = std::to_string(static_cast<int>(GetDeviceScaleFactor() * 100));
    for (auto& [name, dialog] : Catalogues()) {
      SCOPED_TRACE(name);
      const DialogContent content = dialog->content();
      const bool classic = name.rfind("classic", 0) == 0;
      NoticeDialog* object = dialog.get();
      HWND window = Show(std::move(dialog));
      ASSERT_TRUE(window);
      EXPECT_EQ(LoadLocalizedString(content.title, language),
                test::WindowText(::GetDlgItem(window, kDialogTitleId)));
      std::wstring body = content.text ? LoadLocalizedString(content.text, language) : L"";
      if (content.title == 435)
        body += L"\r\n" + broupdater::GetLogFilePath();
      EXPECT_EQ(body, test::WindowText(Body(window)));
      EXPECT_EQ(LoadLocalizedString(content.primary, language),
                test::WindowText(::GetDlgItem(window, kDialogPrimaryId)));
      EXPECT_EQ(content.secondary != 0,
                ::IsWindowVisible(::GetDlgItem(window, kDialogSecondaryId)) != FALSE);
      const RECT rect = WindowRect(window);
      const SIZE size = {rect.right - rect.left, rect.bottom - rect.top};
      const RECT primary = ItemRect(::GetDlgItem(window, kDialogPrimaryId));
      RECT shadow_margins;
      if (classic) {
        if (content.xp_layout) {
          EXPECT_EQ(Scaled(410) - 13, size.cx);
          EXPECT_EQ(Scaled(186) - 52, size.cy);
        } else {
          EXPECT_EQ(Scaled(410) - Scaled(7) - Scaled(6), size.cx);
          EXPECT_EQ(Scaled(186) - Scaled(4) - Scaled(8), size.cy);
        }
        EXPECT_EQ(size.cy - Scaled(20), primary.bottom);
        if (content.right_aligned) {
          const RECT secondary = ItemRect(::GetDlgItem(window, kDialogSecondaryId));
          EXPECT_EQ(primary.right + 10, secondary.left);
          EXPECT_EQ(size.cx - Scaled(30), secondary.right);
        } else {
          EXPECT_EQ(Scaled(40), primary.left);
        }
        EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(window, kDialogCrossId)));
        shadow_margins = {Scaled(7), Scaled(4), Scaled(6), Scaled(8)};
      } else {
        // Sized to the content: title at (30, 30), the last button 40 from
        // the right, the row 30 above the bottom.
        const RECT title = ItemRect(::GetDlgItem(window, kDialogTitleId));
        EXPECT_EQ(Scaled(30), title.left);
        EXPECT_EQ(Scaled(30), title.top);
        const RECT last =
            content.secondary ? ItemRect(::GetDlgItem(window, kDialogSecondaryId)) : primary;
        EXPECT_EQ(size.cx - Scaled(40), last.right);
        EXPECT_EQ(size.cy - Scaled(30), primary.bottom);
        EXPECT_GE(size.cx, Scaled(50) + Scaled(30) + title.right - title.left);
        const RECT cross = ItemRect(::GetDlgItem(window, kDialogCrossId));
        EXPECT_EQ((RECT{size.cx - 10 - Scaled(20), 10, size.cx - 10, 10 + Scaled(20)}), cross);
        // Rounded from Windows 8 on.
        HRGN region = ::CreateRectRgn(0, 0, 0, 0);
        EXPECT_NE(ERROR, ::GetWindowRgn(window, region));
        RECT box = {};
        ::GetRgnBox(region, &box);
        EXPECT_EQ((RECT{0, 0, size.cx, size.cy}), box);
        ::DeleteObject(region);
        const int m = Scaled(8);
        shadow_margins = {m, m, m, m};
      }
      const RECT expected_shadow = {rect.left - shadow_margins.left, rect.top - shadow_margins.top,
                                    rect.right + shadow_margins.right,
                                    rect.bottom + shadow_margins.bottom};
      ASSERT_TRUE(object->shadow_window());
      EXPECT_EQ(expected_shadow, WindowRect(object->shadow_window()));
      test::CaptureScreen(expected_shadow, "NoticeDialogs",
                          name + "_" + std::to_string(language) + "_" + scale);
      Close();
    }
  }

  test::ScopedRegistryOverride registry_{test::ScopedRegistryOverride::kCurrentUser |
                                         test::ScopedRegistryOverride::kLocalMachine};
  test::FakeSystemFacts facts_;
  test::ScopedTempDir dir_;
  BrandPackageInfo brand_{dir_.path() + L"\\"};
  test::FixedDistribParams params_;
  test::InstallerWindowDriver driver_{::GetCurrentProcessId()};
  std::unique_ptr<NoticeDialog> dialog_;
  std::thread thread_;
  std::atomic<bool> ended_{false};
  HWND window_ = nullptr;
  INT_PTR result_ = -1;
};

TEST_F(NoticeDialogWindowTest, EveryDialogInALongLanguage) {
  CheckCatalogues(kGerman);
}

TEST_F(NoticeDialogWindowTest, EveryDialogInAnEastAsianLanguage) {
  CheckCatalogues(kChinese);
}

TEST_F(NoticeDialogWindowTest, RedesignedDialogsAreSquareBeforeWindowsEight) {
  facts_.SetWindowsVersion(6, 1, 7601);
  brand_.new_identity_dialogs_redesign_ = true;
  HWND window = Show(CreateDialogFactory()->CreateSetupNotice(0, &brand_, &params_));
  ASSERT_TRUE(window);
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(ERROR, ::GetWindowRgn(window, region));
  ::DeleteObject(region);
  const RECT rect = WindowRect(window);
  const int m = Scaled(8);
  EXPECT_EQ((RECT{rect.left - m, rect.top - m, rect.right + m, rect.bottom + m}),
            WindowRect(dialog_->shadow_window()));
  test::CaptureScreen({rect.left - m, rect.top - m, rect.right + m, rect.bottom + m},
                      "NoticeDialogs", "redesigned0_windows7");
}

TEST_F(NoticeDialogWindowTest, OnlyTheButtonsEndADialogAndEachGivesItsResult) {
  std::unique_ptr<DialogFactory> factory = CreateDialogFactory();
  for (bool redesigned : {false, true}) {
    brand_.new_identity_dialogs_redesign_ = redesigned;
    std::vector<int> buttons = {kDialogPrimaryId, kDialogSecondaryId};
    if (redesigned)
      buttons.push_back(kDialogCrossId);
    for (int button : buttons) {
      SCOPED_TRACE(testing::Message() << redesigned << " " << button);
      HWND window = Show(factory->CreateSetupNotice(4, &brand_, &params_));
      ASSERT_TRUE(window);
      ASSERT_TRUE(driver_.PressKey(VK_ESCAPE, window));
      ASSERT_TRUE(test::KeyChord(VK_MENU, VK_F4));
      EXPECT_EQ(-100, Result(300));
      EXPECT_TRUE(::IsWindowVisible(window));
      EXPECT_EQ(button, ClickForResult(button, window));
    }
  }
}

TEST_F(NoticeDialogWindowTest, PrimaryButtonsOpenTheirPagesOrStartTheInstalledBrowser) {
  test::ScopedLinkRecord links;
  // The installed browser at system level: the recorder as its browser.exe.
  const std::wstring app = dir_.Append(L"Application");
  ASSERT_TRUE(::CreateDirectoryW(app.c_str(), nullptr));
  ASSERT_TRUE(::CopyFileW(test::ScopedLinkRecord::RecorderPath().c_str(),
                          (app + L"\\browser.exe").c_str(), FALSE));
  ASSERT_TRUE(test::WriteRegistryValue(HKEY_LOCAL_MACHINE, installer::GetProductKey(), L"pv",
                                       std::wstring(L"25.1.0.1")));
  ASSERT_TRUE(test::WriteRegistryValue(HKEY_LOCAL_MACHINE, installer::GetProductKey(),
                                       L"UninstallString",
                                       app + L"\\25.1.0.1\\Installer\\setup.exe"));
  brand_.brand_id_ = "ua";
  brand_.new_identity_dialogs_redesign_ = true;
  // A value from the tag with a quote and a space.
  params_.values = {{"partner_id", "p1"}, {"zz", "x"}, {"banerid", "b"}, {"lang", "r\" u"}};
  std::unique_ptr<DialogFactory> factory = CreateDialogFactory();
  std::unique_ptr<ErrorDialogFactory> errors = factory->CreateErrorDialogFactory(&brand_, &params_);
  std::vector<std::unique_ptr<NoticeDialog>> dialogs;
  dialogs.push_back(errors->CreateForErrorKind(kInstallErrorDownload));
  dialogs.push_back(errors->CreateForErrorKind(kInstallErrorMachineTypeMismatch));
  dialogs.push_back(errors->CreateForErrorKind(kInstallErrorSetupExit8));
  dialogs.push_back(factory->CreateUnsupportedSystemNotice(&brand_));
  dialogs.push_back(errors->CreateForErrorKind(kInstallErrorSetupExit7));
  for (size_t i = 0; i < dialogs.size(); ++i) {
    HWND window = Show(std::move(dialogs[i]));
    ASSERT_TRUE(window) << i;
    EXPECT_EQ(1, ClickForResult(kDialogPrimaryId, window)) << i;
    // One start at a time, so that their order is known.
    ASSERT_EQ(i + 1, links.WaitForLines(i + 1).size()) << i;
  }
  const std::string site = std::string("https://") + deployment::kBrowserSiteHostStem;
  const std::vector<std::string> expected = {
      site + ".ua/download?banerid=b&lang=r%22%20u&partner_id=p1&full=1&code=lite_install_failed",
      site + ".ru/?from=installer",
      site + ".ru/feedback/?from=installer",
      std::string("https://") + deployment::kPortalHostStem +
          ".ru/support/browser/about/install.xml",
      // browser.exe, without arguments.
      "",
  };
  EXPECT_EQ(expected, links.WaitForLines(expected.size()));
}

TEST_F(NoticeDialogWindowTest, TheShadowFollowsADrag) {
  for (bool redesigned : {false, true}) {
    brand_.new_identity_dialogs_redesign_ = redesigned;
    HWND window = Show(CreateDialogFactory()->CreateSetupNotice(0, &brand_, &params_));
    ASSERT_TRUE(window);
    HWND shadow = dialog_->shadow_window();
    ASSERT_TRUE(shadow);
    const RECT before = WindowRect(shadow);
    ASSERT_TRUE(test::BringToForeground(window) ||
                test::PumpUntil([&] { return test::BringToForeground(window); }));
    // From a point of the dialog that no control covers.
    const POINT from = test::ScreenPointOf(window, {Scaled(12), Scaled(12)});
    ASSERT_TRUE(test::Drag(from, {40, 30}, 4, [](int) {
      ::Sleep(50);
      return true;
    }));
    EXPECT_TRUE(test::PumpUntil([&] { return WindowRect(shadow).left == before.left + 40; }))
        << redesigned;
    const RECT after = WindowRect(shadow);
    EXPECT_EQ((RECT{before.left + 40, before.top + 30, before.right + 40, before.bottom + 30}),
              after)
        << redesigned;
    Close();
  }
}

}  // namespace
}  // namespace lite_installer
