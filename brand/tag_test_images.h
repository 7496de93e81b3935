#ifndef BRAND_TAG_TEST_IMAGES_H_
#define BRAND_TAG_TEST_IMAGES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Builders of small PE images with certificate tables, for the tag readers'
// tests. Byte strings are std::string.
namespace install_util::test_images {

// A DER element with a minimal length encoding.
std::string Der(uint8_t tag, std::string_view contents);

// The extnValue contents of a tag extension: the 16-bit big-endian length
// of `tag`, `tag`, then `reserve` zero bytes.
std::string TagValue(std::string_view tag, size_t reserve = 0);

struct DummyOptions {
  uint8_t serial = 1;
  int extensions = 4;
};
// A dummy certificate whose fourth extension holds `value` as its extnValue
// contents.
std::string DummyCertificate(std::string_view value, DummyOptions options = {});
// A certificate-shaped element that is not a dummy certificate.
std::string OtherCertificate(size_t filler = 40);

// A PKCS#7 ContentInfo (signed data) whose certificate set holds
// `certificates`, followed by a signer-info set of `signer_info_size` bytes.
std::string SignedData(const std::vector<std::string>& certificates,
                       size_t signer_info_size = 16);

struct ImageOptions {
  bool pe32_plus = false;
  // Bytes placed after the blob, starting at the next 8-byte boundary.
  std::string appended;
};
// A PE image whose certificate table (the last thing in the file) holds
// `blob`. The table starts at kTableOffset.
std::string Image(std::string_view blob, ImageOptions options = {});
inline constexpr uint32_t kTableOffset = 0x200;
// The security directory entry of the images above.
uint32_t SecurityEntryOffset(bool pe32_plus);

// An appended tag block: "Nact", the 16-bit length, the tag.
std::string AppendedBlock(std::string_view tag);

void PutLE32(std::string* bytes, size_t offset, uint32_t value);

}  // namespace install_util::test_images

#endif  // BRAND_TAG_TEST_IMAGES_H_
