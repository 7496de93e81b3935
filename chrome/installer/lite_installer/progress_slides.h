#ifndef CHROME_INSTALLER_LITE_INSTALLER_PROGRESS_SLIDES_H_
#define CHROME_INSTALLER_LITE_INSTALLER_PROGRESS_SLIDES_H_

#include <windows.h>

#include <memory>
#include <vector>

#include "chrome/installer/lite_installer/resource_bitmap.h"

namespace lite_installer {

// What the progress screen paints behind its controls: the slide on
// screen. The window paints through this interface only, so the show
// behind it can be exchanged without touching the painting.
class ProgressSlides {
 public:
  virtual ~ProgressSlides() = default;

  // Fills `rect` with the show's brush and draws the current slide.
  virtual void Paint(HDC dc, const RECT& rect) = 0;
  // The picture of the current slide (empty when there is none).
  virtual ResourceBitmap CurrentImage() const = 0;
  // Whether the slide on screen is the first of two built-in slides (the
  // welcome background, when the welcome screen was skipped).
  virtual bool IsShowingFirstBuiltin() const = 0;
};

// A show of the built-in slides alone that stays on the first one: the
// slide is drawn unscaled at the bottom-left corner of the painted
// rectangle over `brush` (not owned).
std::unique_ptr<ProgressSlides> CreateBuiltinSlides(std::vector<ResourceBitmap> builtin,
                                                    HBRUSH brush);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_PROGRESS_SLIDES_H_
