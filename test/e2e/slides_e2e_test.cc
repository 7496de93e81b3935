// The progress screen's slides in lite_installer_local.exe: the built-in
// slide first, the first downloaded one (from the loopback services' slide
// folder) ten seconds later, told apart by the colour of their cards.

#include <windows.h>

#include <cstdlib>
#include <string>

#include "gtest/gtest.h"
#include "test/e2e/e2e_support.h"
#include "test/support/installer_window_driver.h"
#include "test/support/screen_capture.h"
#include "test/support/ui_input.h"

namespace {

constexpr int kTitleId = 107;
constexpr int kInstallButtonId = 1;
constexpr int kCloseButtonId = 213;
constexpr int kCancelButtonId = 212;
constexpr int kProgressBarId = 215;

// The card of the built-in progress background and of slide 02, at design
// point (650, 150).
constexpr COLORREF kProgressCard = RGB(0xd6, 0xdb, 0xf5);
constexpr COLORREF kSlide02Card = RGB(0xd8, 0x3a, 0x3a);

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
    ASSERT_TRUE(driver_.ClickControl(kCloseButtonId));
    HWND confirmation = driver_.WaitForOtherDialog();
    ASSERT_TRUE(confirmation) << Log();
    ASSERT_TRUE(driver_.ClickControl(kCancelButtonId, confirmation));
    EXPECT_TRUE(process_.WaitPumpingMessages(e2e::kRunTimeoutMs));
    EXPECT_EQ(500u, process_.exit_code());
  }

  test::ChildProcess process_;
  test::InstallerWindowDriver driver_{0};
};

TEST_F(SlidesE2ETest, TheFirstDownloadedSlideFollowsTheBuiltInOneAfterTenSeconds) {
  for (double scale : {1.0, 1.5}) {
    const std::string percent = std::to_string(static_cast<int>(scale * 100));
    SCOPED_TRACE(percent + " %");
    ASSERT_NO_FATAL_FAILURE(Start(L"--force-device-scale-factor=" +
                                  std::to_wstring(static_cast<int>(scale * 100)).insert(1, L".")));
    ASSERT_TRUE(driver_.ClickControl(kInstallButtonId));
    ASSERT_TRUE(driver_.WaitForControl(kProgressBarId)) << Log();
    const DWORD shown = ::GetTickCount();
    EXPECT_TRUE(Near(kProgressCard, Card(scale, "builtin_" + percent)));
    COLORREF card = CLR_INVALID;
    test::PumpUntil([&] { return Near(kSlide02Card, card = Card(scale, "slide02_" + percent)); },
                    25000);
    const DWORD took = ::GetTickCount() - shown;
    EXPECT_TRUE(Near(kSlide02Card, card)) << std::hex << card;
    // Ten seconds, give or take a screenshot's time.
    EXPECT_GE(took, 9000u);
    EXPECT_LE(took, 16000u);
    const auto requests = RequestsTo("/browser/installer/new-identity/");
    ASSERT_FALSE(requests.empty());
    EXPECT_NE(std::string::npos, requests.front().path.find("/x2/02.png")) << requests.front().path;
    ASSERT_NO_FATAL_FAILURE(Cancel());
  }
}

TEST_F(SlidesE2ETest, WithTheWelcomeScreenSkippedTheTitleGoesAtTheFirstChange) {
  ASSERT_NO_FATAL_FAILURE(Start(L"\"--distr-info-params=first=1&def=2&stat=1\""));
  ASSERT_TRUE(driver_.WaitForControl(kProgressBarId)) << Log();
  const DWORD shown = ::GetTickCount();
  EXPECT_TRUE(::GetDlgItem(driver_.window(), kTitleId));
  EXPECT_TRUE(test::PumpUntil([&] { return !::GetDlgItem(driver_.window(), kTitleId); }, 25000));
  const DWORD took = ::GetTickCount() - shown;
  EXPECT_GE(took, 9000u);
  EXPECT_LE(took, 13000u);
  process_.Terminate();
}

}  // namespace
