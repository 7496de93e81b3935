#ifndef CHROME_INSTALLER_LITE_INSTALLER_RESOURCE_BITMAP_H_
#define CHROME_INSTALLER_LITE_INSTALLER_RESOURCE_BITMAP_H_

#include <windows.h>
#include <objidl.h>

#include <memory>

#include "base/scoped_gdi.h"

namespace lite_installer {

// A decoded picture of the interface and the scale it is drawn at. A value
// type: copies share the decoded image. Sizes are logical (device pixels):
// the image's pixel size times the scale.
class ResourceBitmap {
 public:
  ResourceBitmap() = default;
  // An empty picture, then Load(scale1_id, scale2_id).
  ResourceBitmap(int scale1_id, int scale2_id);

  // Loads the RT_RCDATA picture of the installer for the current device
  // scale factor: the scale-2 picture when there is no scale-1 one, or when
  // the factor is not 1 and a scale-2 picture is named; the scale-1 one
  // otherwise. A scale-2 picture counts half its pixels. A missing resource
  // leaves the picture as it was, silently. False when nothing was loaded.
  bool Load(int scale1_id, int scale2_id);

  // Decodes `stream` and, on success, takes it as the picture at `scale`.
  // On a decoding failure the error is logged and the old picture stays.
  bool Load(IStream* stream, double scale);

  bool IsEmpty() const { return !image_; }
  double scale() const { return scale_; }

  // Logical size, truncated; the Ceil variants round up (for sizing a
  // window to a picture). 0 for an empty picture.
  int Width() const;
  int Height() const;
  int CeilWidth() const;
  int CeilHeight() const;

  // Draws the logical source rectangle of the picture into the destination
  // rectangle of `dc`. An empty picture draws nothing.
  void Draw(HDC dc,
            int dest_x,
            int dest_y,
            int dest_width,
            int dest_height,
            int source_x,
            int source_y,
            int source_width,
            int source_height) const;

 private:
  friend class AlphaCanvas;

  // The decoded GDI+ image (a GpImage, opaque here to keep GDI+'s headers
  // out of the window code), disposed with its last copy.
  std::shared_ptr<void> image_;
  UINT pixel_width_ = 0;
  UINT pixel_height_ = 0;
  double scale_ = 1.0;
};

// A top-down 32-bit bitmap with premultiplied alpha, transparent at first,
// that pictures are drawn into with their alpha kept: the picture of a
// layered window.
class AlphaCanvas {
 public:
  AlphaCanvas(int width, int height);
  AlphaCanvas(const AlphaCanvas&) = delete;
  AlphaCanvas& operator=(const AlphaCanvas&) = delete;
  ~AlphaCanvas();

  // False when the bitmap could not be made (logged).
  bool ok() const { return graphics_ != nullptr; }
  HBITMAP bitmap() const { return bitmap_.get(); }
  // Stretches the whole of `picture` into `dest`; an empty picture draws
  // nothing.
  void DrawPicture(const ResourceBitmap& picture, const RECT& dest);

 private:
  base::ScopedBitmap bitmap_;
  void* image_ = nullptr;     // GpBitmap over the bitmap's pixels
  void* graphics_ = nullptr;  // GpGraphics of that image
};

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_RESOURCE_BITMAP_H_
