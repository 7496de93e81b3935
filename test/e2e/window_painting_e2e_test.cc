// The installation window of lite_installer_local.exe as it lands on the
// screen at several scales: its size and place, its rounded shape and the
// drop shadow around it, over a backdrop of known colour.

#include <windows.h>

#include <cmath>
#include <string>

#include "gtest/gtest.h"
#include "test/e2e/e2e_support.h"
#include "test/support/backdrop_window.h"
#include "test/support/installer_window_driver.h"
#include "test/support/rect_ops.h"
#include "test/support/registry_override.h"
#include "test/support/screen_capture.h"
#include "test/support/shadow_pixels.h"
#include "test/support/ui_input.h"

namespace {

constexpr COLORREF kBackdrop = RGB(0xe0, 0xe8, 0xd0);

// Sets the prefix's screen dpi for the processes started while it lives.
class ScopedScreenDpi {
 public:
  explicit ScopedScreenDpi(DWORD dpi) {
    DWORD size = sizeof(old_);
    had_ = ::RegGetValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels", RRF_RT_REG_DWORD, nullptr,
                          &old_, &size) == ERROR_SUCCESS;
    test::WriteRegistryValue(HKEY_CURRENT_USER, kDesktop, L"LogPixels", dpi);
  }
  ~ScopedScreenDpi() {
    if (had_)
      test::WriteRegistryValue(HKEY_CURRENT_USER, kDesktop, L"LogPixels", old_);
    else
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kDesktop, L"LogPixels");
  }

 private:
  static constexpr wchar_t kDesktop[] = L"Control Panel\\Desktop";
  DWORD old_ = 0;
  bool had_ = false;
};

class WindowPaintingE2ETest : public e2e::LocalInstallTest {};

// At 1, 1.5 and 2 (forced) and at a 144-dpi screen: the window is the
// welcome background's size, centred on the work area, rounded with radius
// 9 scaled; the shadow is a window it owns, grown by 8 scaled, darker than
// the backdrop next to the window and fading outward; outside the rounded
// corner the shadow shows, inside it the window.
TEST_F(WindowPaintingE2ETest, SizePlaceShapeAndShadowAtEachScale) {
  const RECT screen = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  test::BackdropWindow backdrop(screen, kBackdrop);
  RECT work = {};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  struct Case {
    const char* name;
    double factor;
    const wchar_t* force;  // null: the screen's 144 dpi
  };
  for (const Case& c : {Case{"100", 1.0, L"1"}, Case{"150", 1.5, L"1.5"},
                        Case{"200", 2.0, L"2"}, Case{"144dpi", 1.5, nullptr}}) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<ScopedScreenDpi> dpi;
    std::wstring switches = L"--do-not-launch-browser";
    if (c.force)
      switches += std::wstring(L" --force-device-scale-factor=") + c.force;
    else
      dpi = std::make_unique<ScopedScreenDpi>(144);
    test::ChildProcess process = e2e::StartInstaller(L"lite_installer_local.exe", switches,
                                                     dir_.path());
    test::InstallerWindowDriver driver(process.pid());
    HWND window = driver.WaitForWindow(90000);
    dpi.reset();
    ASSERT_TRUE(window) << Log();
    const int w = static_cast<int>(802 * c.factor);
    const int h = static_cast<int>(430 * c.factor);
    const int m = static_cast<int>(8 * c.factor);
    const int r = static_cast<int>(9 * c.factor);
    RECT rect = {};
    ASSERT_TRUE(::GetWindowRect(window, &rect));
    EXPECT_EQ(w, rect.right - rect.left);
    EXPECT_EQ(h, rect.bottom - rect.top);
    EXPECT_NEAR(work.left + (work.right - work.left - w) / 2, rect.left, 1);
    EXPECT_NEAR(work.top + (work.bottom - work.top - h) / 2, rect.top, 1);

    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(COMPLEXREGION, ::GetWindowRgn(window, region));
    EXPECT_FALSE(::PtInRegion(region, 0, 0));
    EXPECT_FALSE(::PtInRegion(region, w - 1, h - 1));
    EXPECT_TRUE(::PtInRegion(region, r, r));
    EXPECT_TRUE(::PtInRegion(region, w / 2, 0));
    ::DeleteObject(region);

    HWND shadow = nullptr;
    ASSERT_TRUE(test::PumpUntil([&] {
      shadow = driver.ShadowWindow();
      return shadow && ::IsWindowVisible(shadow);
    }));
    RECT shadow_rect = {};
    ::GetWindowRect(shadow, &shadow_rect);
    EXPECT_EQ(test::Grown(rect, m), shadow_rect);

    const test::Pixels shot =
        test::CaptureScreenForCurrentTest(test::Grown(rect, m), std::string("welcome_") + c.name);
    ASSERT_FALSE(shot.empty());
    EXPECT_TRUE(test::FadesOutward(shot, {m, m + h / 2}, {-1, 0}, m, kBackdrop));
    EXPECT_TRUE(test::FadesOutward(shot, {m + w - 1, m + h / 2}, {1, 0}, m, kBackdrop));
    EXPECT_TRUE(test::FadesOutward(shot, {m + w / 2, m}, {0, -1}, m, kBackdrop));
    EXPECT_TRUE(test::FadesOutward(shot, {m + w / 2, m + h - 1}, {0, 1}, m, kBackdrop));
    // Outside the corner the shadow (over the backdrop), inside it the
    // window's panel.
    EXPECT_LT(test::Brightness(shot.At(m, m)),
              GetRValue(kBackdrop) + GetGValue(kBackdrop) + GetBValue(kBackdrop));
    EXPECT_EQ(RGB(0xf7, 0xf8, 0xfd), test::ToColorRef(shot.At(m + 2 * r, m + 2 * r)));

    ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(process.WaitPumpingMessages(e2e::kRunTimeoutMs)) << Log();
    EXPECT_EQ(500u, process.exit_code());
  }
}

}  // namespace
