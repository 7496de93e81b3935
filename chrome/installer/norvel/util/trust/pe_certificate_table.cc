#include "chrome/installer/norvel/util/trust/pe_certificate_table.h"

#include <algorithm>

namespace install_util {
namespace {

constexpr uint32_t kSecurityDirectoryIndex = 4;
constexpr size_t kDataDirectorySize = 8;
constexpr size_t kWinCertificateHeaderSize = 8;

bool ReadU16(std::span<const uint8_t> bytes, uint64_t offset, uint16_t* out) {
  if (offset > bytes.size() || bytes.size() - offset < 2)
    return false;
  *out = static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
  return true;
}

bool ReadU32(std::span<const uint8_t> bytes, uint64_t offset, uint32_t* out) {
  if (offset > bytes.size() || bytes.size() - offset < 4)
    return false;
  *out = static_cast<uint32_t>(bytes[offset]) |
         static_cast<uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<uint32_t>(bytes[offset + 2]) << 16 |
         static_cast<uint32_t>(bytes[offset + 3]) << 24;
  return true;
}

}  // namespace

std::optional<CertificateTableLocation> LocateCertificateTable(
    std::span<const uint8_t> headers,
    uint64_t file_size) {
  uint16_t mz;
  uint32_t pe_offset;
  if (!ReadU16(headers, 0, &mz) || mz != 0x5A4D ||
      !ReadU32(headers, 0x3C, &pe_offset)) {
    return std::nullopt;
  }
  uint32_t signature;
  if (!ReadU32(headers, pe_offset, &signature) || signature != 0x00004550)
    return std::nullopt;
  // IMAGE_FILE_HEADER follows the signature; the optional header follows it.
  const uint64_t file_header = static_cast<uint64_t>(pe_offset) + 4;
  const uint64_t optional_header = file_header + 20;
  uint16_t optional_size, magic;
  if (!ReadU16(headers, file_header + 16, &optional_size) ||
      !ReadU16(headers, optional_header, &magic)) {
    return std::nullopt;
  }
  uint64_t count_offset, directories_offset;
  if (magic == 0x10B) {  // PE32
    count_offset = 92;
    directories_offset = 96;
  } else if (magic == 0x20B) {  // PE32+
    count_offset = 108;
    directories_offset = 112;
  } else {
    return std::nullopt;
  }
  uint32_t directory_count;
  if (!ReadU32(headers, optional_header + count_offset, &directory_count) ||
      directory_count <= kSecurityDirectoryIndex) {
    return std::nullopt;
  }
  const uint64_t entry_in_optional =
      directories_offset + kSecurityDirectoryIndex * kDataDirectorySize;
  if (entry_in_optional + kDataDirectorySize > optional_size)
    return std::nullopt;
  const uint64_t entry = optional_header + entry_in_optional;
  CertificateTableLocation location;
  if (!ReadU32(headers, entry, &location.table_offset) ||
      !ReadU32(headers, entry + 4, &location.table_size)) {
    return std::nullopt;
  }
  location.directory_entry_offset = static_cast<uint32_t>(entry);
  if (location.table_offset == 0 ||
      location.table_size < kWinCertificateHeaderSize ||
      location.table_offset < entry + kDataDirectorySize ||
      static_cast<uint64_t>(location.table_offset) + location.table_size >
          file_size) {
    return std::nullopt;
  }
  return location;
}

std::vector<uint8_t> MakeCertificateTable(std::span<const uint8_t> pkcs7) {
  const size_t length = kWinCertificateHeaderSize + pkcs7.size();
  std::vector<uint8_t> table((length + 7) & ~size_t{7}, 0);
  const uint32_t length32 = static_cast<uint32_t>(length);
  for (int i = 0; i < 4; ++i)
    table[i] = static_cast<uint8_t>(length32 >> (8 * i));
  table[4] = 0x00;  // WIN_CERT_REVISION_2_0
  table[5] = 0x02;
  table[6] = 0x02;  // WIN_CERT_TYPE_PKCS_SIGNED_DATA
  table[7] = 0x00;
  std::copy(pkcs7.begin(), pkcs7.end(), table.begin() + 8);
  return table;
}

std::optional<size_t> DerElementLength(std::span<const uint8_t> bytes) {
  if (bytes.size() < 2)
    return std::nullopt;
  // Only low tag numbers: every element we look at is a SEQUENCE.
  if ((bytes[0] & 0x1F) == 0x1F)
    return std::nullopt;
  size_t header = 2;
  uint64_t length = bytes[1];
  if (length & 0x80) {
    const size_t count = length & 0x7F;
    // Indefinite lengths are not DER; more than four length bytes cannot
    // describe anything that fits in memory here.
    if (count == 0 || count > 4 || bytes.size() < 2 + count)
      return std::nullopt;
    length = 0;
    for (size_t i = 0; i < count; ++i)
      length = length << 8 | bytes[2 + i];
    header += count;
  }
  if (length > bytes.size() - header)
    return std::nullopt;
  return static_cast<size_t>(header + length);
}

}  // namespace install_util
