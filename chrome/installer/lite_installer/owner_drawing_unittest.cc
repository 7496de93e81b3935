#include "chrome/installer/lite_installer/owner_drawing.h"

#include <windows.h>

#include "chrome/installer/lite_installer/custom_progress_bar.h"
#include "chrome/installer/lite_installer/image_button.h"
#include "chrome/installer/lite_installer/image_checkbox.h"
#include "gtest/gtest.h"
#include "test/support/memory_canvas.h"

namespace lite_installer {
namespace {

using ScopedFont = base::ScopedGeneric<base::GdiObjectTraits<HFONT>>;

constexpr uint32_t kBackground = 0xC86432;  // RGB(200, 100, 50)

void FillRectColour(HDC dc, RECT rect, uint32_t colour) {
  base::ScopedBrush brush(
      ::CreateSolidBrush(RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF)));
  ::FillRect(dc, &rect, brush.get());
}

TEST(DrawAlphaTextTest, TextPixelsAreTheBlendOfTextAndBackground) {
  ScopedFont font(test::CreateCrispFont(20));
  for (const int alpha : {115, 168, 255}) {
    test::MemoryCanvas canvas(120, 40);
    ASSERT_TRUE(canvas.is_valid());
    canvas.Fill(kBackground);
    const RECT rect = {10, 5, 110, 35};
    ASSERT_TRUE(DrawAlphaText(canvas.dc(), rect, L"WMW text", font.get(), RGB(0, 0, 255),
                              static_cast<BYTE>(alpha), 0));
    const uint32_t expected = test::BlendColor(0x0000FF, kBackground, alpha);
    int text_pixels = 0;
    for (int y = 0; y < canvas.height(); ++y) {
      for (int x = 0; x < canvas.width(); ++x) {
        const uint32_t pixel = canvas.Pixel(x, y);
        if (pixel == kBackground)
          continue;
        ++text_pixels;
        ASSERT_LE(test::ChannelDistance(pixel, expected), 2)
            << "alpha " << alpha << " at " << x << "," << y << ": " << std::hex << pixel;
        ASSERT_TRUE(x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom);
      }
    }
    EXPECT_GT(text_pixels, 50) << "alpha " << alpha;
  }
}

TEST(OffscreenDCTest, DrawsInTheRectanglesOwnCoordinatesAndCopiesOnlyIt) {
  test::MemoryCanvas canvas(60, 40);
  canvas.Fill(0xFFFFFF);
  const RECT rect = {10, 8, 30, 20};
  {
    OffscreenDC offscreen(canvas.dc(), rect);
    ASSERT_TRUE(offscreen.is_buffered());
    FillRectColour(offscreen.dc(), {0, 0, 60, 40}, 0x0000FF);
    FillRectColour(offscreen.dc(), {10, 8, 20, 14}, 0xFF0000);
    // Nothing reaches the target before the copy.
    EXPECT_EQ(canvas.Pixel(12, 10), 0xFFFFFFu);
  }
  EXPECT_EQ(canvas.Pixel(10, 8), 0xFF0000u);
  EXPECT_EQ(canvas.Pixel(19, 13), 0xFF0000u);
  EXPECT_EQ(canvas.Pixel(20, 13), 0x0000FFu);
  EXPECT_EQ(canvas.Pixel(29, 19), 0x0000FFu);
  EXPECT_EQ(canvas.Pixel(30, 19), 0xFFFFFFu);
  EXPECT_EQ(canvas.Pixel(9, 8), 0xFFFFFFu);
  EXPECT_EQ(canvas.Pixel(10, 20), 0xFFFFFFu);
}

TEST(OffscreenDCTest, PaintBufferedHandsTheRectangleAndCopiesOnce) {
  test::MemoryCanvas canvas(40, 40);
  canvas.Fill(0xFFFFFF);
  RECT seen = {};
  PaintBuffered(canvas.dc(), {5, 6, 25, 16}, [&](HDC dc, const RECT& rect) {
    seen = rect;
    FillRectColour(dc, rect, 0x00FF00);
    EXPECT_EQ(canvas.Pixel(6, 7), 0xFFFFFFu);
  });
  EXPECT_EQ(seen.left, 5);
  EXPECT_EQ(seen.bottom, 16);
  EXPECT_EQ(canvas.Pixel(5, 6), 0x00FF00u);
  EXPECT_EQ(canvas.Pixel(24, 15), 0x00FF00u);
  EXPECT_EQ(canvas.Pixel(25, 15), 0xFFFFFFu);
}

TEST(ProgressGeometryTest, FilledWidthFollowsThePositionAndSurvivesEmptyRanges) {
  EXPECT_EQ(FilledWidth(200, 0, 100, 0), 0);
  EXPECT_EQ(FilledWidth(200, 0, 100, 37), 74);
  EXPECT_EQ(FilledWidth(393, 0, 100, 37), 393 * 37 / 100);
  EXPECT_EQ(FilledWidth(200, 0, 100, 100), 200);
  EXPECT_EQ(FilledWidth(200, 50, 150, 100), 100);
  // Out of range positions stay inside the bar.
  EXPECT_EQ(FilledWidth(200, 0, 100, 250), 200);
  EXPECT_EQ(FilledWidth(200, 10, 100, 0), 0);
  // An equal or reversed range has no fill (and no division by zero).
  EXPECT_EQ(FilledWidth(200, 40, 40, 40), 0);
  EXPECT_EQ(FilledWidth(200, 100, 0, 50), 0);
}

TEST(ControlStateTest, StripCellsFromDrawStateBits) {
  EXPECT_EQ(ButtonStateIndex(0), 0);
  EXPECT_EQ(ButtonStateIndex(CDIS_HOT), 1);
  EXPECT_EQ(ButtonStateIndex(CDIS_HOT | CDIS_SELECTED | CDIS_FOCUS), 2);
  EXPECT_EQ(CheckboxStateIndex(0, false), 0);
  EXPECT_EQ(CheckboxStateIndex(0x40, false), 1);
  EXPECT_EQ(CheckboxStateIndex(0x41, false), 2);
  EXPECT_EQ(CheckboxStateIndex(ODS_FOCUS, true), 3);
  EXPECT_EQ(CheckboxStateIndex(0x40, true), 4);
  EXPECT_EQ(CheckboxStateIndex(0x1, true), 5);
}

}  // namespace
}  // namespace lite_installer
