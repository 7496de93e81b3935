// Feeds whole files to both installer-tag readers.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "brand/installer_tag_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> image(data, size);
  std::string tag;
  const install_util::CertificateTagStatus status =
      install_util::ParseFakeCertificateTag(image, &tag);
  // A failure yields nothing; a tag never outgrows the file.
  if ((status != install_util::CertificateTagStatus::kOk && !tag.empty()) ||
      tag.size() > size) {
    abort();
  }
  if (auto appended = install_util::FindAppendedTag(image)) {
    if (appended->data() < data ||
        appended->data() + appended->size() > data + size)
      abort();
  }
  return 0;
}
