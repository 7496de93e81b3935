#include "chrome/installer/lite_installer/window_geometry.h"

#include "chrome/installer/lite_installer/main_window.h"

namespace lite_installer {

int ShadowMargin(double scale_factor) {
  return static_cast<int>(8 * scale_factor);
}

std::array<RECT, 8> ShadowPieceRects(int width, int height, int margin, int inset) {
  const int w = width;
  const int h = height;
  const int m = margin;
  const int a = inset;
  // The corners are square: twice the margin plus the inset.
  const int c = 2 * m + a;
  return {{
      {0, 0, c, c},                          // top-left
      {c, 0, w - a, a + m},                  // top
      {w - a, 0, w + 2 * m, c},              // top-right
      {m + w - a, c, w + 2 * m, h - a},      // right
      {w - a, h - a, w + 2 * m, h + 2 * m},  // bottom-right
      {c, m + h - a, w - a, h + 2 * m},      // bottom
      {0, h - a, c, h + 2 * m},              // bottom-left
      {0, c, a + m, h - a},                  // left
  }};
}

std::array<BandCopy, 4> ShadowBandCopies(int width, int height, int margin,
                                         const BackgroundSize& background) {
  const int w = width;
  const int h = height;
  const int m = margin;
  const int e = m / 2;
  const int k = m - e;
  const int bw = background.width;
  const int bw_up = background.ceil_width;
  const int bh_up = background.ceil_height;
  return {{
      {{m, m, w + m, 2 * m - e}, 0, 0, bw, k},                               // top
      {{m, 2 * m - e, 2 * m - e, h + e}, 0, k, k, bh_up - 2 * k},            // left
      {{w + e, 2 * m - e, w + m, h + e}, bw_up - k, k, k, bh_up - 2 * k},    // right
      {{m, h + e, w + m, h + m}, 0, bh_up - k, bw, k},                       // bottom
  }};
}

CheckboxPlacement PlaceCheckboxes(bool statistics_offered,
                                  const RECT& statistics_rect,
                                  bool default_offered,
                                  const RECT& default_rect,
                                  double scale_factor,
                                  const std::function<int(int, const RECT&)>& measure) {
  CheckboxPlacement placement;
  if (statistics_offered) {
    RECT& s = placement.statistics;
    s = statistics_rect;
    s.bottom = s.top + measure(kStatisticsCheckboxId, s);
  }
  if (default_offered) {
    RECT& d = placement.default_browser;
    d = default_rect;
    if (placement.statistics.bottom != 0)
      d.top = placement.statistics.bottom + static_cast<int>(4 * scale_factor);
    d.bottom = d.top + measure(kDefaultBrowserCheckboxId, d);
  }
  return placement;
}

}  // namespace lite_installer
