#ifndef CHROME_INSTALLER_LITE_INSTALLER_WINDOW_GEOMETRY_H_
#define CHROME_INSTALLER_LITE_INSTALLER_WINDOW_GEOMETRY_H_

// Where the installation window puts its checkboxes and the pieces of its
// drop shadow: pure functions of sizes, so that the window's hooks only
// apply them.

#include <windows.h>

#include <array>
#include <functional>

namespace lite_installer {

// How far the drop shadow reaches beyond the window: 8 at 96 dpi, scaled
// and truncated.
int ShadowMargin(double scale_factor);

// The rectangles of the eight shadow pieces in a picture of
// (width + 2 margin) x (height + 2 margin), where width x height is the
// window's size and `inset` (scaled) how far the pieces reach under the
// window. In drawing order: top-left corner, top edge, top-right corner,
// right edge, bottom-right corner, bottom edge, bottom-left corner, left
// edge.
std::array<RECT, 8> ShadowPieceRects(int width, int height, int margin, int inset);

// The background's size at its scale: truncated and rounded up.
struct BackgroundSize {
  int width = 0;
  int height = 0;
  int ceil_width = 0;
  int ceil_height = 0;
};

// One copy of a band of the background into the shadow picture: the
// destination rectangle and the source (x, y, width, height) in the
// background's logical pixels.
struct BandCopy {
  RECT destination;
  int source_x;
  int source_y;
  int source_width;
  int source_height;
};

// The outer band of the background, copied under the window's place in the
// shadow picture so that outside the rounded region the window's own
// anti-aliased edge shows rather than a staircase: top, left, right,
// bottom. The band is margin - margin / 2 pixels wide.
std::array<BandCopy, 4> ShadowBandCopies(int width, int height, int margin,
                                         const BackgroundSize& background);

// The checkboxes' rectangles in the window's client area (empty for one
// that is not offered).
struct CheckboxPlacement {
  RECT statistics = {};
  RECT default_browser = {};
};

// Places the statistics checkbox at `statistics_rect` and the default-
// browser checkbox at `default_rect` (both scaled), each as tall as its
// label: `measure`(control id, rectangle) lays the label out at that
// rectangle and returns the height it needs. With both offered the
// default-browser checkbox follows the statistics label's real height,
// 4 scaled pixels below it, rather than the layout's fixed top.
CheckboxPlacement PlaceCheckboxes(bool statistics_offered,
                                  const RECT& statistics_rect,
                                  bool default_offered,
                                  const RECT& default_rect,
                                  double scale_factor,
                                  const std::function<int(int, const RECT&)>& measure);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_WINDOW_GEOMETRY_H_
