#include "chrome/installer/lite_installer/resource_bitmap.h"

#include <cmath>
#include <cstring>

// GDI+ headers need min/max from windows.h, which NOMINMAX hides.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include "chrome/installer/lite_installer/scale_factor.h"
#include "logging/file_logger.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace lite_installer {

namespace {

using Gdiplus::DllExports::GdipCreateBitmapFromScan0;
using Gdiplus::DllExports::GdipCreateFromHDC;
using Gdiplus::DllExports::GdipGetImageGraphicsContext;
using Gdiplus::DllExports::GdipDeleteGraphics;
using Gdiplus::DllExports::GdipDisposeImage;
using Gdiplus::DllExports::GdipDrawImageRectRect;
using Gdiplus::DllExports::GdipGetImageHeight;
using Gdiplus::DllExports::GdipGetImageWidth;
using Gdiplus::DllExports::GdipLoadImageFromStreamICM;

// The RT_RCDATA resource `id` of the installer in a stream of its own
// memory (GDI+ may read an image lazily, long after the call that decoded
// it, so the bytes must outlive the resource lock); null when the resource
// is missing or the memory cannot be had.
IStream* OpenResourceStream(int id) {
  HMODULE module = reinterpret_cast<HMODULE>(&__ImageBase);
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (!resource)
    return nullptr;
  HGLOBAL loaded = ::LoadResource(module, resource);
  const DWORD size = ::SizeofResource(module, resource);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes || size == 0)
    return nullptr;
  HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (!copy)
    return nullptr;
  void* target = ::GlobalLock(copy);
  if (!target) {
    ::GlobalFree(copy);
    return nullptr;
  }
  std::memcpy(target, bytes, size);
  ::GlobalUnlock(copy);
  IStream* stream = nullptr;
  // The stream owns the block from here and frees it with its last release.
  if (FAILED(::CreateStreamOnHGlobal(copy, TRUE, &stream))) {
    ::GlobalFree(copy);
    return nullptr;
  }
  return stream;
}

Gdiplus::GpImage* AsImage(const std::shared_ptr<void>& image) {
  return static_cast<Gdiplus::GpImage*>(image.get());
}

}  // namespace

ResourceBitmap::ResourceBitmap(int scale1_id, int scale2_id) {
  Load(scale1_id, scale2_id);
}

bool ResourceBitmap::Load(int scale1_id, int scale2_id) {
  const double factor = GetDeviceScaleFactor();
  const bool use_scale2 =
      scale1_id == 0 || (factor != 1.0 && scale2_id != 0);
  const int id = use_scale2 ? scale2_id : scale1_id;
  const double divisor = use_scale2 ? 2.0 : 1.0;
  IStream* stream = OpenResourceStream(id);
  if (!stream)
    return false;
  const bool loaded = Load(stream, factor / divisor);
  stream->Release();
  return loaded;
}

bool ResourceBitmap::Load(IStream* stream, double scale) {
  if (!stream)
    return false;
  Gdiplus::GpImage* image = nullptr;
  const Gdiplus::GpStatus status = GdipLoadImageFromStreamICM(stream, &image);
  if (status != Gdiplus::Ok || !image) {
    PLOG(ERROR) << "Failed to load a bitmap";
    if (image)
      GdipDisposeImage(image);
    return false;
  }
  UINT width = 0;
  UINT height = 0;
  GdipGetImageWidth(image, &width);
  GdipGetImageHeight(image, &height);
  image_.reset(image, [](void* p) {
    GdipDisposeImage(static_cast<Gdiplus::GpImage*>(p));
  });
  pixel_width_ = width;
  pixel_height_ = height;
  scale_ = scale;
  return true;
}

int ResourceBitmap::Width() const {
  return image_ ? static_cast<int>(pixel_width_ * scale_) : 0;
}

int ResourceBitmap::Height() const {
  return image_ ? static_cast<int>(pixel_height_ * scale_) : 0;
}

int ResourceBitmap::CeilWidth() const {
  return image_ ? static_cast<int>(std::ceil(pixel_width_ * scale_)) : 0;
}

int ResourceBitmap::CeilHeight() const {
  return image_ ? static_cast<int>(std::ceil(pixel_height_ * scale_)) : 0;
}

void ResourceBitmap::Draw(HDC dc,
                          int dest_x,
                          int dest_y,
                          int dest_width,
                          int dest_height,
                          int source_x,
                          int source_y,
                          int source_width,
                          int source_height) const {
  if (!image_ || scale_ <= 0)
    return;
  Gdiplus::GpGraphics* graphics = nullptr;
  if (GdipCreateFromHDC(dc, &graphics) != Gdiplus::Ok)
    return;
  // The source rectangle is logical; the image is addressed in its own
  // pixels.
  GdipDrawImageRectRect(
      graphics, AsImage(image_), static_cast<Gdiplus::REAL>(dest_x),
      static_cast<Gdiplus::REAL>(dest_y),
      static_cast<Gdiplus::REAL>(dest_width),
      static_cast<Gdiplus::REAL>(dest_height),
      static_cast<Gdiplus::REAL>(source_x / scale_),
      static_cast<Gdiplus::REAL>(source_y / scale_),
      static_cast<Gdiplus::REAL>(source_width / scale_),
      static_cast<Gdiplus::REAL>(source_height / scale_), Gdiplus::UnitPixel,
      nullptr, nullptr, nullptr);
  GdipDeleteGraphics(graphics);
}

AlphaCanvas::AlphaCanvas(int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  bitmap_.reset(width > 0 && height > 0
                    ? ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0)
                    : nullptr);
  if (!bitmap_ || !pixels) {
    PLOG(ERROR) << "Failed to create a " << width << "x" << height << " alpha bitmap";
    return;
  }
  Gdiplus::GpBitmap* image = nullptr;
  if (GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppPARGB,
                                static_cast<BYTE*>(pixels), &image) != Gdiplus::Ok ||
      !image) {
    LOG(ERROR) << "Failed to wrap a " << width << "x" << height << " alpha bitmap for drawing";
    return;
  }
  image_ = image;
  Gdiplus::GpGraphics* graphics = nullptr;
  if (GdipGetImageGraphicsContext(image, &graphics) != Gdiplus::Ok || !graphics) {
    LOG(ERROR) << "Failed to draw into a " << width << "x" << height << " alpha bitmap";
    return;
  }
  graphics_ = graphics;
}

AlphaCanvas::~AlphaCanvas() {
  if (graphics_)
    GdipDeleteGraphics(static_cast<Gdiplus::GpGraphics*>(graphics_));
  if (image_)
    GdipDisposeImage(static_cast<Gdiplus::GpImage*>(image_));
}

void AlphaCanvas::DrawPicture(const ResourceBitmap& picture, const RECT& dest) {
  if (!graphics_ || !picture.image_)
    return;
  GdipDrawImageRectRect(static_cast<Gdiplus::GpGraphics*>(graphics_), AsImage(picture.image_),
                        static_cast<Gdiplus::REAL>(dest.left), static_cast<Gdiplus::REAL>(dest.top),
                        static_cast<Gdiplus::REAL>(dest.right - dest.left),
                        static_cast<Gdiplus::REAL>(dest.bottom - dest.top), 0, 0,
                        static_cast<Gdiplus::REAL>(picture.pixel_width_),
                        static_cast<Gdiplus::REAL>(picture.pixel_height_), Gdiplus::UnitPixel,
                        nullptr, nullptr, nullptr);
}

}  // namespace lite_installer
