// Feeds certificate-table contents to both installer-tag readers inside a
// fixed PE32 header, so that mutations reach the signature walk instead of
// failing the header checks.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "brand/installer_tag_parser.h"

namespace {

constexpr uint32_t kLfanew = 0x40;
constexpr uint32_t kTableOffset = 0x200;

void PutLE32(std::vector<uint8_t>* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    (*bytes)[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input is what follows the 8-byte WIN_CERTIFICATE header.
  std::vector<uint8_t> image(kTableOffset + 8, 0);
  image[0] = 'M';
  image[1] = 'Z';
  PutLE32(&image, 0x3c, kLfanew);
  std::memcpy(&image[kLfanew], "PE\0\0", 4);
  image[kLfanew + 24] = 0x0b;
  image[kLfanew + 25] = 0x01;
  const uint32_t table_size = static_cast<uint32_t>(size + 8);
  PutLE32(&image, kTableOffset, table_size);
  PutLE32(&image, kLfanew + 152, kTableOffset);
  PutLE32(&image, kLfanew + 156, table_size);
  image.insert(image.end(), data, data + size);

  const std::span<const uint8_t> bytes(image.data(), image.size());
  std::string tag;
  const install_util::CertificateTagStatus status =
      install_util::ParseFakeCertificateTag(bytes, &tag);
  if ((status != install_util::CertificateTagStatus::kOk && !tag.empty()) ||
      tag.size() > size) {
    abort();
  }
  if (auto appended = install_util::FindAppendedTag(bytes)) {
    // The block lies inside the table.
    if (appended->data() < image.data() + kTableOffset + 8 ||
        appended->data() + appended->size() > image.data() + image.size()) {
      abort();
    }
  }
  return 0;
}
