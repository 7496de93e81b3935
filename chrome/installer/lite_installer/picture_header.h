#ifndef CHROME_INSTALLER_LITE_INSTALLER_PICTURE_HEADER_H_
#define CHROME_INSTALLER_LITE_INSTALLER_PICTURE_HEADER_H_

#include <cstdint>
#include <string_view>

namespace lite_installer {

// What the first bytes of a downloaded picture say about it, read before
// anything decodes it.
struct PictureHeader {
  enum class Format { kUnknown, kPng, kJpeg };
  Format format = Format::kUnknown;
  // The pixel size, when the header holding it (PNG's IHDR, JPEG's first
  // start-of-frame segment) lies within the bytes.
  bool has_size = false;
  uint32_t width = 0;
  uint32_t height = 0;
};

// Reads the format and pixel size of a PNG or JPEG picture from its bytes.
// Never reads past `bytes`; a header cut short leaves has_size false.
PictureHeader ReadPictureHeader(std::string_view bytes);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_PICTURE_HEADER_H_
