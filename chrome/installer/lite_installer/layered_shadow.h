#ifndef CHROME_INSTALLER_LITE_INSTALLER_LAYERED_SHADOW_H_
#define CHROME_INSTALLER_LITE_INSTALLER_LAYERED_SHADOW_H_

#include <windows.h>

namespace lite_installer {

// How far the classic dialogs' shadow reaches beyond the dialog: 7 left,
// 4 top, 6 right, 8 bottom at 96 dpi, each scaled and truncated.
RECT ShadowMargins(double scale_factor);

// `rect` grown by `margins`.
RECT GrowRect(const RECT& rect, const RECT& margins);

// Draws the shadow picture into `target` (a 32-bit bitmap of
// `shadow_size` selected into it): the four corners of `image` (its own
// size `image_size`), each quadrant 1:1, so that the border fits any
// dialog size; then `hole`, the dialog's area, erased to full transparency.
bool ComposeShadowPicture(HDC target, SIZE shadow_size, HDC image, SIZE image_size,
                          const RECT& hole);

// The per-pixel-alpha, click-through popup that draws the classic dialogs'
// border around them. The dialog moves it along (FollowDialog) when it
// receives the move_window message.
class LayeredShadow {
 public:
  // `background` is the dialog's background image (32 bits per pixel,
  // premultiplied alpha); it must outlive the call only. The margins are
  // scaled by the device scale factor, or by `scale_factor` when given.
  LayeredShadow(HWND dialog, HBITMAP background);
  LayeredShadow(HWND dialog, HBITMAP background, double scale_factor);
  LayeredShadow(const LayeredShadow&) = delete;
  LayeredShadow& operator=(const LayeredShadow&) = delete;
  ~LayeredShadow();

  // Puts the shadow around the dialog's current window rectangle.
  void FollowDialog();

  HWND window() const { return window_; }

 private:
  void ShowPicture(HBITMAP background);

  HWND window_ = nullptr;
  HWND dialog_ = nullptr;
  RECT margins_ = {};
};

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_LAYERED_SHADOW_H_
