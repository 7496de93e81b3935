#ifndef CHROME_INSTALLER_LITE_INSTALLER_CUSTOM_PROGRESS_BAR_H_
#define CHROME_INSTALLER_LITE_INSTALLER_CUSTOM_PROGRESS_BAR_H_

#include <windows.h>

#include <optional>

#include "chrome/installer/lite_installer/accessible_control.h"
#include "chrome/installer/lite_installer/resource_bitmap.h"
#include "chrome/installer/lite_installer/window_object.h"

namespace lite_installer {

// How many of `width` columns a bar at `pos` in [low, high] fills: none
// when the range is empty or reversed, never more than the width.
int FilledWidth(int width, int low, int high, int pos);

// A standard progress bar that paints itself from two pictures: the fill
// from the left up to the position, the track beyond it, both over the
// parent's picture when one is given. Colour messages are ignored.
class CustomProgressBar : public WindowObject {
 public:
  // Subclasses `progress_bar` and gives it an accessibility object with the
  // progress-bar role whose value follows SetPos.
  explicit CustomProgressBar(HWND progress_bar);
  ~CustomProgressBar() override;

  // The fill and track pictures from their (scale 1, scale 2) resource
  // pairs; the parent's picture behind the bar, or none.
  void SetImages(int fill_id1,
                 int fill_id2,
                 int track_id1,
                 int track_id2,
                 const std::optional<ResourceBitmap>& background);
  void SetRange(int low, int high);
  void SetPos(int pos);
  int GetPos() const;

  bool ProcessWindowMessage(HWND window,
                            UINT message,
                            WPARAM wparam,
                            LPARAM lparam,
                            LRESULT* result) override;

  AccessibleControl* accessible() const { return accessible_.get(); }

 private:
  void Paint();
  void PaintSteps(HDC dc, const RECT& client);

  ScopedAccessibleControl accessible_;
  bool has_background_ = false;
  ResourceBitmap background_;
  ResourceBitmap fill_;
  ResourceBitmap track_;
};

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_CUSTOM_PROGRESS_BAR_H_
