// Feeds whole files to both installer-tag readers and to the PE
// certificate-table locator.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "base/pe_image_reader.h"
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
  // A located table lies inside the file, after the entry that names it.
  if (auto table = base::LocateCertificateTable(image, size)) {
    if (uint64_t{table->table_offset} + table->table_size > size ||
        table->directory_entry_offset + 8 > size ||
        table->table_offset < table->directory_entry_offset + 8) {
      abort();
    }
  }
  return 0;
}
