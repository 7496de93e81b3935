#include "chrome/installer/lite_installer/window_geometry.h"

#include <windows.h>

#include <map>
#include <vector>

#include "chrome/installer/lite_installer/main_window.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/rect_ops.h"

namespace lite_installer {
namespace {

int Width(const RECT& r) {
  return r.right - r.left;
}
int Height(const RECT& r) {
  return r.bottom - r.top;
}

// At 1.5 the margin is 12; the light layout reaches 1 scaled pixel under
// the window, the dark one none. The pieces tile the picture's frame
// without gaps or overlaps, and the corners are square.
TEST(ShadowGeometryTest, PiecesFrameThePictureAtOneAndAHalf) {
  const int m = ShadowMargin(1.5);
  EXPECT_EQ(12, m);
  EXPECT_EQ(8, ShadowMargin(1.0));
  EXPECT_EQ(16, ShadowMargin(2.0));
  const int w = 1203;  // 802 x 1.5
  const int h = 645;   // 430 x 1.5
  for (int inset : {1, 0}) {
    SCOPED_TRACE(inset);
    const std::array<RECT, 8> r = ShadowPieceRects(w, h, m, inset);
    const int corner = inset ? 25 : 24;
    for (int i : {0, 2, 4, 6}) {
      EXPECT_EQ(corner, Width(r[i])) << i;
      EXPECT_EQ(corner, Height(r[i])) << i;
    }
    EXPECT_EQ((RECT{0, 0, corner, corner}), r[0]);
    EXPECT_EQ((RECT{w - inset, h - inset, w + 2 * m, h + 2 * m}), r[4]);
    // Each edge runs between its two corners and is margin + inset thick.
    EXPECT_EQ(r[0].right, r[1].left);
    EXPECT_EQ(r[2].left, r[1].right);
    EXPECT_EQ(m + inset, Height(r[1]));
    EXPECT_EQ(r[2].bottom, r[3].top);
    EXPECT_EQ(r[4].top, r[3].bottom);
    EXPECT_EQ(m + inset, Width(r[3]));
    EXPECT_EQ(r[6].right, r[5].left);
    EXPECT_EQ(r[4].left, r[5].right);
    EXPECT_EQ(h + 2 * m, r[5].bottom);
    EXPECT_EQ(m + inset, Height(r[5]));
    EXPECT_EQ(r[0].bottom, r[7].top);
    EXPECT_EQ(r[6].top, r[7].bottom);
    EXPECT_EQ(m + inset, Width(r[7]));
  }
}

// The band of the background lies just inside the window's place in the
// picture: e = 6 and 6 pixels wide at 1.5; sides between top and bottom
// band, sources at the background's outer edge (rounded-up sizes where a
// fractional last pixel would otherwise be lost).
TEST(ShadowGeometryTest, TheBackgroundBandLinesTheWindowsPlace) {
  const int w = 1203;
  const int h = 645;
  const int m = 12;
  const BackgroundSize background = {1203, 645, 1204, 646};
  const std::array<BandCopy, 4> b = ShadowBandCopies(w, h, m, background);
  const BandCopy& top = b[0];
  const BandCopy& left = b[1];
  const BandCopy& right = b[2];
  const BandCopy& bottom = b[3];
  EXPECT_EQ((RECT{12, 12, 1215, 18}), top.destination);
  EXPECT_EQ((RECT{12, 18, 18, 651}), left.destination);
  EXPECT_EQ((RECT{1209, 18, 1215, 651}), right.destination);
  EXPECT_EQ((RECT{12, 651, 1215, 657}), bottom.destination);
  for (const BandCopy& band : b) {
    EXPECT_EQ(6, std::min(Width(band.destination), Height(band.destination)));
  }
  EXPECT_THAT((std::vector<int>{top.source_x, top.source_y, top.source_width, top.source_height}),
              ::testing::ElementsAre(0, 0, 1203, 6));
  EXPECT_THAT(
      (std::vector<int>{left.source_x, left.source_y, left.source_width, left.source_height}),
      ::testing::ElementsAre(0, 6, 6, 634));
  EXPECT_THAT(
      (std::vector<int>{right.source_x, right.source_y, right.source_width, right.source_height}),
      ::testing::ElementsAre(1198, 6, 6, 634));
  EXPECT_THAT((std::vector<int>{bottom.source_x, bottom.source_y, bottom.source_width,
                                bottom.source_height}),
              ::testing::ElementsAre(0, 640, 1203, 6));
  // An odd margin gives the band the larger half.
  const std::array<BandCopy, 4> odd = ShadowBandCopies(100, 50, 9, {100, 50, 100, 50});
  EXPECT_EQ((RECT{9, 9, 109, 14}), odd[0].destination);
  EXPECT_EQ(5, odd[0].source_height);
}

class CheckboxPlacementTest : public testing::Test {
 protected:
  CheckboxPlacement Place(bool statistics, bool default_browser, double scale) {
    return PlaceCheckboxes(statistics, kStatistics, default_browser, kDefault, scale,
                           [this](int id, const RECT& rect) {
                             measured_[id] = rect;
                             return heights_[id];
                           });
  }

  static constexpr RECT kStatistics = {59, 207, 454, 429};
  static constexpr RECT kDefault = {59, 267, 454, 429};
  std::map<int, int> heights_ = {{kStatisticsCheckboxId, 40}, {kDefaultBrowserCheckboxId, 18}};
  std::map<int, RECT> measured_;
};

TEST_F(CheckboxPlacementTest, TheDefaultBrowserCheckboxFollowsTheStatisticsLabel) {
  CheckboxPlacement both = Place(true, true, 1.0);
  EXPECT_EQ((RECT{59, 207, 454, 247}), both.statistics);
  EXPECT_EQ((RECT{59, 251, 454, 269}), both.default_browser);
  // Its label was laid out where it ends up, not at the layout's top.
  EXPECT_EQ(251, measured_[kDefaultBrowserCheckboxId].top);
  // The gap scales and truncates: 4 x 1.5 = 6, 4 x 1.25 = 5.
  EXPECT_EQ(253, Place(true, true, 1.5).default_browser.top);
  EXPECT_EQ(252, Place(true, true, 1.25).default_browser.top);
}

TEST_F(CheckboxPlacementTest, ACheckboxAloneKeepsItsRectangleAndOneNotOfferedIsEmpty) {
  const CheckboxPlacement alone = Place(false, true, 1.0);
  EXPECT_EQ((RECT{}), alone.statistics);
  EXPECT_EQ((RECT{59, 267, 454, 285}), alone.default_browser);
  EXPECT_FALSE(measured_.count(kStatisticsCheckboxId));
  const CheckboxPlacement statistics_only = Place(true, false, 1.0);
  EXPECT_EQ((RECT{59, 207, 454, 247}), statistics_only.statistics);
  EXPECT_EQ((RECT{}), statistics_only.default_browser);
  const CheckboxPlacement neither = Place(false, false, 1.0);
  EXPECT_EQ((RECT{}), neither.statistics);
  EXPECT_EQ((RECT{}), neither.default_browser);
}

}  // namespace
}  // namespace lite_installer
