// The progress screen's slides in lite_installer_local.exe: the built-in
// slide first, the first downloaded one (from the loopback services' slide
// folder of the theme) ten seconds later, told apart by the colour of their
// cards, light and dark at 100 % and 150 %.

#include <windows.h>

#include <cstdlib>
#include <string>

#include "gtest/gtest.h"
#include "test/e2e/e2e_support.h"
#include "test/support/installer_window_driver.h"
#include "test/support/screen_capture.h"
#include "test/support/ui_input.h"

namespace {


// Per theme: the switches choosing it, the slides' folder and the colour at
// design point (650, 150) of the built-in progress background and of
// slide 02 (the services serve the dark theme's slides of their own).
struct Theme {
  const char* name;
  const wchar_t* switches;
  const char* folder;
  COLORREF builtin_card;
  COLORREF slide02_card;
};
constexpr Theme kLight = {"light", L"--distr-info-params=darktheme=0",
                          "/browser/installer/new-identity/", RGB(0xd6, 0xdb, 0xf5),
                          RGB(0xd8, 0x3a, 0x3a)};
constexpr Theme kDark = {"dark", L"--brand-name=dark --distr-info-params=darktheme=1",
                         "/browser/installer/dark/", RGB(0x34, 0x3a, 0x66),
                         RGB(0x7a, 0x1f, 0x5c)};

bool Near(COLORREF a, COLORREF b) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) >
        24)
      return false;
  }
  return true;
}

class SlidesE2ETest : public e2e::LocalInstallTest {
 protected:
  void Start(const std::wstring& switches) {
    // A download slow enough for the progress screen to stay.
    ServeArchive(L"fake_setup_signed.exe", "\"trickle\": 4096, \"trickle_ms\": 200");
    process_ = e2e::StartInstaller(L"lite_installer_local.exe",
                                   switches + L" \"--fake-setup-report=" + Report() + L"\"",
                                   dir_.path());
    driver_ = test::InstallerWindowDriver(process_.pid());
    ASSERT_TRUE(driver_.WaitForWindow(90000)) << Log();
  }
  // The card's colour on screen (a screenshot kept as `name`).
  COLORREF Card(double scale, const std::string& name) {
    RECT window;
    if (!::GetWindowRect(driver_.window(), &window))
      return CLR_INVALID;
    const test::Pixels shot = test::CaptureScreenForCurrentTest(window, name);
    if (shot.empty())
      return CLR_INVALID;
    return test::ToColorRef(
        shot.At(static_cast<int>(650 * scale), static_cast<int>(150 * scale)));
  }
  // Close, confirmed with Cancel: the run ends with 500.
  void Cancel() {
    ASSERT_TRUE(driver_.ClickControl(test::kCloseButtonId));
    HWND confirmation = driver_.WaitForOtherDialog();
    ASSERT_TRUE(confirmation) << Log();
    ASSERT_TRUE(driver_.ClickControl(test::kCancelButtonId, confirmation));
    EXPECT_TRUE(process_.WaitPumpingMessages(e2e::kRunTimeoutMs));
    EXPECT_EQ(500u, process_.exit_code());
  }

  test::ChildProcess process_;
  test::InstallerWindowDriver driver_{0};
};

TEST_F(SlidesE2ETest, TheFirstDownloadedSlideFollowsTheBuiltInOneAfterTenSeconds) {
  for (const Theme* theme : {&kLight, &kDark}) {
    for (double scale : {1.0, 1.5}) {
      const std::string tag =
          std::string(theme->name) + "_" + std::to_string(static_cast<int>(scale * 100));
      SCOPED_TRACE(tag);
      ASSERT_NO_FATAL_FAILURE(
          Start(std::wstring(theme->switches) + L" --force-device-scale-factor=" +
                std::to_wstring(static_cast<int>(scale * 100)).insert(1, L".")));
      const size_t earlier_requests = RequestsTo(theme->folder).size();
      ASSERT_TRUE(driver_.ClickControl(test::kInstallButtonId));
      ASSERT_TRUE(driver_.WaitForControl(test::kProgressBarId)) << Log();
      const DWORD shown = ::GetTickCount();
      // The progress bar exists before the new screen has reached the display.
      COLORREF builtin = CLR_INVALID;
      test::PumpUntil(
          [&] { return Near(theme->builtin_card, builtin = Card(scale, "builtin_" + tag)); },
          5000);
      EXPECT_TRUE(Near(theme->builtin_card, builtin)) << std::hex << builtin;
      COLORREF card = CLR_INVALID;
      test::PumpUntil(
          [&] { return Near(theme->slide02_card, card = Card(scale, "slide02_" + tag)); }, 25000);
      const DWORD took = ::GetTickCount() - shown;
      EXPECT_TRUE(Near(theme->slide02_card, card)) << std::hex << card;
      // Ten seconds, give or take a screenshot's time.
      EXPECT_GE(took, 9000u);
      EXPECT_LE(took, 16000u);
      const auto requests = RequestsTo(theme->folder);
      ASSERT_GT(requests.size(), earlier_requests);
      EXPECT_NE(std::string::npos, requests[earlier_requests].path.find("/x2/02.png"))
          << requests[earlier_requests].path;
      ASSERT_NO_FATAL_FAILURE(Cancel());
    }
  }
}

TEST_F(SlidesE2ETest, WithTheWelcomeScreenSkippedTheTitleGoesAtTheFirstChange) {
  ASSERT_NO_FATAL_FAILURE(Start(L"\"--distr-info-params=first=1&def=2&stat=1\""));
  ASSERT_TRUE(driver_.WaitForControl(test::kProgressBarId)) << Log();
  const DWORD shown = ::GetTickCount();
  EXPECT_TRUE(::GetDlgItem(driver_.window(), test::kTitleId));
  EXPECT_TRUE(
      test::PumpUntil([&] { return !::GetDlgItem(driver_.window(), test::kTitleId); }, 25000));
  const DWORD took = ::GetTickCount() - shown;
  EXPECT_GE(took, 9000u);
  EXPECT_LE(took, 13000u);
  process_.Terminate();
}

}  // namespace
