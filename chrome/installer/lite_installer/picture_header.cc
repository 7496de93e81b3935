#include "chrome/installer/lite_installer/picture_header.h"

namespace lite_installer {

namespace {

constexpr unsigned char kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t Byte(std::string_view bytes, size_t at) {
  return static_cast<unsigned char>(bytes[at]);
}

uint32_t BigEndian16(std::string_view bytes, size_t at) {
  return (Byte(bytes, at) << 8) | Byte(bytes, at + 1);
}

uint32_t BigEndian32(std::string_view bytes, size_t at) {
  return (BigEndian16(bytes, at) << 16) | BigEndian16(bytes, at + 2);
}

// PNG: the signature, then IHDR as the first chunk: length, type, width,
// height.
void ReadPng(std::string_view bytes, PictureHeader* header) {
  constexpr size_t kIhdrType = 12;
  constexpr size_t kIhdrEnd = 24;
  if (bytes.size() < kIhdrEnd || bytes.substr(kIhdrType, 4) != "IHDR")
    return;
  header->width = BigEndian32(bytes, 16);
  header->height = BigEndian32(bytes, 20);
  header->has_size = true;
}

// Start-of-frame markers: C0 to CF but DHT (C4), JPG (C8) and DAC (CC).
bool IsStartOfFrame(uint32_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
         marker != 0xCC;
}

// JPEG: segments after SOI, each FF, a marker and (for most) a 16-bit
// length that counts itself; the frame header gives precision, height and
// width.
void ReadJpeg(std::string_view bytes, PictureHeader* header) {
  size_t at = 2;
  while (at < bytes.size()) {
    if (Byte(bytes, at) != 0xFF)
      return;
    // Any number of FF may pad before a marker.
    while (at < bytes.size() && Byte(bytes, at) == 0xFF)
      ++at;
    if (at >= bytes.size())
      return;
    const uint32_t marker = Byte(bytes, at++);
    if (marker == 0xD9 || marker == 0xDA)  // end of image, start of scan
      return;
    if ((marker >= 0xD0 && marker <= 0xD8) || marker == 0x01)
      continue;  // markers without a length
    if (bytes.size() - at < 2)
      return;
    const uint32_t length = BigEndian16(bytes, at);
    if (length < 2)
      return;
    if (IsStartOfFrame(marker)) {
      if (length < 7 || bytes.size() - at < 7)
        return;
      header->height = BigEndian16(bytes, at + 3);
      header->width = BigEndian16(bytes, at + 5);
      header->has_size = true;
      return;
    }
    if (bytes.size() - at < length)
      return;
    at += length;
  }
}

}  // namespace

PictureHeader ReadPictureHeader(std::string_view bytes) {
  PictureHeader header;
  if (bytes.size() >= sizeof(kPngSignature) &&
      bytes.substr(0, sizeof(kPngSignature)) ==
          std::string_view(reinterpret_cast<const char*>(kPngSignature),
                           sizeof(kPngSignature))) {
    header.format = PictureHeader::Format::kPng;
    ReadPng(bytes, &header);
  } else if (bytes.size() >= 3 && Byte(bytes, 0) == 0xFF && Byte(bytes, 1) == 0xD8 &&
             Byte(bytes, 2) == 0xFF) {
    header.format = PictureHeader::Format::kJpeg;
    ReadJpeg(bytes, &header);
  }
  return header;
}

}  // namespace lite_installer
