#include "chrome/installer/lite_installer/progress_slides.h"

#include <algorithm>
#include <utility>

namespace lite_installer {

namespace {

class BuiltinSlides : public ProgressSlides {
 public:
  BuiltinSlides(std::vector<ResourceBitmap> builtin, HBRUSH brush)
      : slides_(std::move(builtin)), brush_(brush) {}

  void Paint(HDC dc, const RECT& rect) override {
    if (brush_)
      ::FillRect(dc, &rect, brush_);
    const ResourceBitmap image = CurrentImage();
    const int width = std::min(image.Width(), static_cast<int>(rect.right - rect.left));
    const int height = image.Height();
    image.Draw(dc, rect.left, rect.bottom - height, width, height, 0, 0, width, height);
  }
  ResourceBitmap CurrentImage() const override {
    return slides_.empty() ? ResourceBitmap() : slides_.front();
  }
  bool IsShowingFirstBuiltin() const override { return slides_.size() == 2; }

 private:
  std::vector<ResourceBitmap> slides_;
  HBRUSH brush_;
};

}  // namespace

std::unique_ptr<ProgressSlides> CreateBuiltinSlides(std::vector<ResourceBitmap> builtin,
                                                    HBRUSH brush) {
  return std::make_unique<BuiltinSlides>(std::move(builtin), brush);
}

}  // namespace lite_installer
