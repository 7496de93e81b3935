#include "chrome/installer/lite_installer/layered_shadow.h"

#include <windows.h>

#include <memory>

#include "base/scoped_gdi.h"
#include "gtest/gtest.h"
#include "test/support/screen_capture.h"
#include "test/support/test_dialog.h"
#include "test/support/ui_input.h"

namespace lite_installer {
namespace {

// A top-down 32-bit DIB section with its pixels in reach.
struct Dib {
  Dib(int width, int height) : width(width), height(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* pixels = nullptr;
    bitmap.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    bits = static_cast<uint32_t*>(pixels);
  }
  uint32_t& At(int x, int y) { return bits[y * width + x]; }

  int width;
  int height;
  base::ScopedBitmap bitmap;
  uint32_t* bits = nullptr;
};

// Every pixel of the background differs from every other, alpha included.
std::unique_ptr<Dib> DistinctImage(int width, int height) {
  auto image = std::make_unique<Dib>(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      image->At(x, y) = 0x40000000u + (static_cast<uint32_t>(y) << 12) + x + 1;
  }
  return image;
}

// Composes a W x H shadow picture with the dialog hole of `margins`.
std::unique_ptr<Dib> Compose(Dib* image, int width, int height, const RECT& margins) {
  auto picture = std::make_unique<Dib>(width, height);
  base::ScopedMemoryDC target(::CreateCompatibleDC(nullptr));
  base::ScopedMemoryDC source(::CreateCompatibleDC(nullptr));
  base::ScopedSelectObject select_target(target.get(), picture->bitmap.get());
  base::ScopedSelectObject select_source(source.get(), image->bitmap.get());
  const RECT hole = {margins.left, margins.top, width - margins.right - 1,
                     height - margins.bottom - 1};
  EXPECT_TRUE(ComposeShadowPicture(target.get(), {width, height}, source.get(),
                                   {image->width, image->height}, hole));
  ::GdiFlush();
  return picture;
}

TEST(LayeredShadowPictureTest, QuadrantsAreTheImagesCornersAndTheDialogAreaIsClear) {
  auto image = DistinctImage(60, 50);
  // Wider and narrower than the image, odd and even sizes.
  const SIZE sizes[] = {{91, 77}, {40, 31}};
  for (const SIZE size : sizes) {
    SCOPED_TRACE(testing::Message() << size.cx << "x" << size.cy);
    const RECT margins = ShadowMargins(1.0);
    auto picture = Compose(image.get(), size.cx, size.cy, margins);
    const int half_x = size.cx / 2;
    const int half_y = size.cy / 2;
    int mismatches = 0;
    for (int y = 0; y < size.cy; ++y) {
      for (int x = 0; x < size.cx; ++x) {
        const bool in_hole = x >= margins.left && x < size.cx - margins.right - 1 &&
                             y >= margins.top && y < size.cy - margins.bottom - 1;
        // Each quadrant shows the matching corner of the image, 1:1.
        const int source_x = x < half_x ? x : image->width - (size.cx - x);
        const int source_y = y < half_y ? y : image->height - (size.cy - y);
        const uint32_t expected = in_hole ? 0u : image->At(source_x, source_y);
        mismatches += picture->At(x, y) != expected;
      }
    }
    EXPECT_EQ(mismatches, 0);
    // The last row and column of the dialog's area keep the image.
    EXPECT_NE(picture->At(size.cx - margins.right - 1, margins.top), 0u);
    EXPECT_NE(picture->At(margins.left, size.cy - margins.bottom - 1), 0u);

    test::Pixels pixels;
    pixels.width = size.cx;
    pixels.height = size.cy;
    pixels.argb.assign(picture->bits, picture->bits + size.cx * size.cy);
    const std::wstring artefact = test::ArtefactPath(
        "LayeredShadowPictureTest", "picture_" + std::to_string(size.cx) + "x" +
                                        std::to_string(size.cy));
    ASSERT_TRUE(test::SavePixelsAsPng(pixels, artefact));
    // The kept file says the same: the hole is fully transparent.
    const test::Pixels saved = test::LoadImagePixels(artefact);
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(saved.At(size.cx / 2, size.cy / 2) >> 24, 0u);
    EXPECT_EQ(saved.At(0, 0), pixels.At(0, 0));
  }
}

class LayeredShadowWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    dialog_ = ::CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 200, 150, 300, 180,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(dialog_);
  }
  void TearDown() override { ::DestroyWindow(dialog_); }

  RECT ShadowRect(double scale) {
    LayeredShadow shadow(dialog_, image_->bitmap.get(), scale);
    RECT rect = {};
    ::GetWindowRect(shadow.window(), &rect);
    return rect;
  }

  std::unique_ptr<Dib> image_ = DistinctImage(410, 186);
  HWND dialog_ = nullptr;
};

TEST_F(LayeredShadowWindowTest, AnUnactivatableClickThroughPopupOwnedByTheDialog) {
  LayeredShadow shadow(dialog_, image_->bitmap.get(), 1.0);
  ASSERT_TRUE(shadow.window());
  wchar_t class_name[32] = {};
  ::GetClassNameW(shadow.window(), class_name, 32);
  EXPECT_STREQ(class_name, L"Static");
  EXPECT_EQ(::GetWindow(shadow.window(), GW_OWNER), dialog_);
  const LONG style = ::GetWindowLongW(shadow.window(), GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_TRUE(style & WS_VISIBLE);
  EXPECT_FALSE(style & WS_CHILD);
  const LONG ex_style = ::GetWindowLongW(shadow.window(), GWL_EXSTYLE);
  EXPECT_EQ(ex_style & (WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TRANSPARENT),
            WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TRANSPARENT);

  ::DestroyWindow(dialog_);  // owned windows go with their owner
  EXPECT_FALSE(::IsWindow(shadow.window()));
  dialog_ = nullptr;
}

TEST_F(LayeredShadowWindowTest, CoversTheDialogGrownByTheScaledMargins) {
  EXPECT_TRUE(test::SameRect(ShadowRect(1.0), {200 - 7, 150 - 4, 500 + 6, 330 + 8}));
  EXPECT_TRUE(test::SameRect(ShadowRect(1.5), {200 - 10, 150 - 6, 500 + 9, 330 + 12}));
  EXPECT_TRUE(test::SameRect(ShadowRect(2.0), {200 - 14, 150 - 8, 500 + 12, 330 + 16}));
}

// The test dialog with a shadow that follows it on move_window.
class ShadowedDialog : public test::TestDialog {
 public:
  ShadowedDialog(HBITMAP image, Script script)
      : TestDialog({300, 250}, std::move(script)), image_(image) {}
  std::unique_ptr<LayeredShadow> shadow_;

 protected:
  void OnInit(HWND window) override {
    shadow_ = std::make_unique<LayeredShadow>(window, image_, 1.0);
  }
  void OnMoveWindow(HWND) override { shadow_->FollowDialog(); }

 private:
  HBITMAP image_;
};

TEST_F(LayeredShadowWindowTest, FollowsADraggedDialog) {
  bool dragged = false;
  RECT dialog_rect = {};
  RECT shadow_rect = {};
  ShadowedDialog dialog(image_->bitmap.get(), [&](test::TestDialog* d) -> INT_PTR {
    auto* self = static_cast<ShadowedDialog*>(d);
    const RECT before = d->WindowRect();
    dragged = test::Drag(d->BackgroundPoint(), {60, 40}, 4) &&
              test::WaitFor([&] { return test::SameRect(d->WindowRect(), test::Offset(before, 60, 40)); });
    dialog_rect = d->WindowRect();
    ::GetWindowRect(self->shadow_->window(), &shadow_rect);
    return 0;
  });
  dialog.RunModal(nullptr);
  ASSERT_TRUE(dragged);
  EXPECT_TRUE(test::SameRect(shadow_rect, GrowRect(dialog_rect, ShadowMargins(1.0))));
}

}  // namespace
}  // namespace lite_installer
