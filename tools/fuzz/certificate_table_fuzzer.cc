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
#include "test/support/pe_test_image.h"

namespace {

constexpr uint32_t kTableOffset = 0x200;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input is what follows the 8-byte WIN_CERTIFICATE header.
  const uint32_t table_size = static_cast<uint32_t>(size + 8);
  std::vector<uint8_t> image = test::MakePeHeaders(
      {.table_offset = kTableOffset, .table_size = table_size},
      kTableOffset + 8);
  std::memcpy(&image[kTableOffset], &table_size, sizeof(table_size));
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
