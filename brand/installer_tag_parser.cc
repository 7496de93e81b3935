#include "brand/installer_tag_parser.h"

#include <algorithm>
#include <cstring>

namespace install_util {

const uint8_t kDummyCertificateTemplate[kDummyCertificateTemplateSize] = {
    // version [0] INTEGER 2 (v3)
    0xa0, 0x03, 0x02, 0x01, 0x02,
    // serialNumber 1
    0x02, 0x01, 0x01,
    // signature: sha1WithRSAEncryption, NULL parameters
    0x30, 0x0d, 0x06, 0x09, 0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x01,
    0x05, 0x05, 0x00,
    // issuer: CN=Unknown issuer (PrintableString)
    0x30, 0x19, 0x31, 0x17, 0x30, 0x15, 0x06, 0x03, 0x55, 0x04, 0x03, 0x13,
    0x0e, 'U', 'n', 'k', 'n', 'o', 'w', 'n', ' ', 'i', 's', 's', 'u', 'e', 'r',
    // validity: 130101100000Z to 130401100000Z
    0x30, 0x1e, 0x17, 0x0d, '1', '3', '0', '1', '0', '1', '1', '0', '0', '0',
    '0', '0', 'Z', 0x17, 0x0d, '1', '3', '0', '4', '0', '1', '1', '0', '0', '0',
    '0', '0', 'Z',
    // subject: CN=Dummy certificate (PrintableString)
    0x30, 0x1c, 0x31, 0x1a, 0x30, 0x18, 0x06, 0x03, 0x55, 0x04, 0x03, 0x13,
    0x11, 'D', 'u', 'm', 'm', 'y', ' ', 'c', 'e', 'r', 't', 'i', 'f', 'i', 'c',
    'a', 't', 'e'};

namespace {

// Offsets inside the PE headers.
constexpr uint64_t kLfanewOffset = 0x3c;
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x10b;
constexpr uint16_t kPe32PlusMagic = 0x20b;
// From e_lfanew to the optional header's magic.
constexpr uint64_t kOptionalHeaderOffset = 24;
// From the optional header to NumberOfRvaAndSizes.
constexpr uint64_t kRvaCountOffsetPe32 = 92;
constexpr uint64_t kRvaCountOffsetPe32Plus = 108;
// From NumberOfRvaAndSizes to the security directory entry (the fifth).
constexpr uint64_t kSecurityEntryOffset = 4 + 4 * 8;
// WIN_CERTIFICATE: dwLength, wRevision, wCertificateType.
constexpr uint64_t kWinCertificateHeaderSize = 8;

constexpr uint8_t kAppendedTagMagic[4] = {'N', 'a', 'c', 't'};
// Magic and the 16-bit tag length.
constexpr uint64_t kAppendedTagHeaderSize = 6;

// Little-endian reads that fail instead of reading past `bytes`.
bool ReadLE16(std::span<const uint8_t> bytes, uint64_t offset, uint16_t* out) {
  if (offset > bytes.size() || bytes.size() - offset < 2)
    return false;
  *out = static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
  return true;
}

bool ReadLE32(std::span<const uint8_t> bytes, uint64_t offset, uint32_t* out) {
  if (offset > bytes.size() || bytes.size() - offset < 4)
    return false;
  *out = static_cast<uint32_t>(bytes[offset]) |
         (static_cast<uint32_t>(bytes[offset + 1]) << 8) |
         (static_cast<uint32_t>(bytes[offset + 2]) << 16) |
         (static_cast<uint32_t>(bytes[offset + 3]) << 24);
  return true;
}

uint16_t BigEndian16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

enum class HeaderStatus { kOk, kBadLengthCount, kOutOfBounds };

// A position inside DER data and the end of the element that encloses it.
// The tag byte is never checked: the walk goes by position only.
class DerCursor {
 public:
  explicit DerCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  // Reads the header of the element at the cursor. A long-form length takes
  // 1 to 4 big-endian bytes; the whole element must fit before the end.
  HeaderStatus ReadHeader(uint64_t* header_size, uint64_t* total_size) const {
    if (bytes_.size() < 2)
      return HeaderStatus::kOutOfBounds;
    uint64_t length = bytes_[1];
    uint64_t header = 2;
    if (length >= 0x80) {
      const uint64_t count = length & 0x7f;
      if (count < 1 || count > 4)
        return HeaderStatus::kBadLengthCount;
      if (bytes_.size() - 2 < count)
        return HeaderStatus::kOutOfBounds;
      length = 0;
      for (uint64_t i = 0; i < count; ++i)
        length = (length << 8) | bytes_[2 + i];
      header += count;
    }
    // Both terms are below 2^33, so the sum cannot overflow.
    if (header + length > bytes_.size())
      return HeaderStatus::kOutOfBounds;
    *header_size = header;
    *total_size = header + length;
    return HeaderStatus::kOk;
  }

  // The cursor moves into the element: it now covers its contents only.
  bool Enter() {
    uint64_t header = 0, total = 0;
    if (ReadHeader(&header, &total) != HeaderStatus::kOk)
      return false;
    bytes_ = bytes_.subspan(header, total - header);
    return true;
  }

  // The cursor moves past the element.
  bool Skip() {
    uint64_t header = 0, total = 0;
    if (ReadHeader(&header, &total) != HeaderStatus::kOk)
      return false;
    bytes_ = bytes_.subspan(total);
    return true;
  }

  // Hands out a cursor over the whole element at the position (header
  // included) and moves past it.
  HeaderStatus Next(DerCursor* element) {
    uint64_t header = 0, total = 0;
    const HeaderStatus status = ReadHeader(&header, &total);
    if (status != HeaderStatus::kOk)
      return status;
    *element = DerCursor(bytes_.first(total));
    bytes_ = bytes_.subspan(total);
    return HeaderStatus::kOk;
  }

  bool AtEnd() const { return bytes_.empty(); }
  std::span<const uint8_t> remaining() const { return bytes_; }

 private:
  std::span<const uint8_t> bytes_;
};

// Position of the security entry of the data directory, for PE32 and PE32+
// images alike; false when `image` is not a PE image.
bool FindSecurityEntry(std::span<const uint8_t> image, uint64_t* entry) {
  uint32_t lfanew = 0;
  if (image.size() < 64 || !ReadLE32(image, kLfanewOffset, &lfanew))
    return false;
  if (image.size() < uint64_t{lfanew} + 96)
    return false;
  uint32_t signature = 0;
  uint16_t magic = 0;
  if (!ReadLE32(image, lfanew, &signature) || signature != kPeSignature ||
      !ReadLE16(image, lfanew + kOptionalHeaderOffset, &magic)) {
    return false;
  }
  uint64_t rva_count_position = lfanew + kOptionalHeaderOffset;
  if (magic == kPe32Magic)
    rva_count_position += kRvaCountOffsetPe32;
  else if (magic == kPe32PlusMagic)
    rva_count_position += kRvaCountOffsetPe32Plus;
  else
    return false;
  if (image.size() < rva_count_position + 44)
    return false;
  *entry = rva_count_position + kSecurityEntryOffset;
  return true;
}

// The certificate table as the data directory describes it; false when the
// image is not a PE image or the table lies outside the file.
bool FindCertificateTable(std::span<const uint8_t> image,
                          uint64_t* table_offset,
                          uint64_t* table_size) {
  uint64_t entry = 0;
  if (!FindSecurityEntry(image, &entry))
    return false;
  uint32_t offset = 0, size = 0;
  if (!ReadLE32(image, entry, &offset) || !ReadLE32(image, entry + 4, &size)) {
    return false;
  }
  if (image.size() < uint64_t{offset} + size)
    return false;
  // An unsigned image has an empty entry; offset 0 would otherwise make the
  // walk read the DOS header as a signature.
  if (offset == 0 || size < kWinCertificateHeaderSize)
    return false;
  *table_offset = offset;
  *table_size = size;
  return true;
}

// Appends the tag of `certificate` (a cursor over one whole certificate
// element) when it is a dummy certificate with a well-formed tag extension.
// Anything else contributes nothing and is not an error.
void AppendDummyCertificateTag(DerCursor certificate, std::string* tag) {
  // Certificate, then tbsCertificate.
  if (!certificate.Enter() || !certificate.Enter())
    return;
  const std::span<const uint8_t> tbs = certificate.remaining();
  if (tbs.size() < kDummyCertificateTemplateSize ||
      std::memcmp(tbs.data(), kDummyCertificateTemplate,
                  kDummyCertificateTemplateSize) != 0) {
    return;
  }
  // version, serialNumber, signature, issuer, validity, subject,
  // subjectPublicKeyInfo.
  for (int i = 0; i < 7; ++i) {
    if (!certificate.Skip())
      return;
  }
  // [3] extensions, then its SEQUENCE.
  if (!certificate.Enter() || !certificate.Enter())
    return;
  for (int i = 0; i < 3; ++i) {
    if (!certificate.Skip())
      return;
  }
  // The fourth Extension, past its extnID, into the extnValue OCTET STRING.
  if (!certificate.Enter() || !certificate.Skip() || !certificate.Enter())
    return;
  const std::span<const uint8_t> value = certificate.remaining();
  if (value.size() < 2)
    return;
  const uint64_t length = BigEndian16(value.data());
  if (length + 2 > value.size())
    return;
  tag->append(reinterpret_cast<const char*>(value.data() + 2),
              static_cast<size_t>(length));
}

CertificateTagStatus ParseFakeCertificateTagImpl(std::span<const uint8_t> image,
                                                 std::string* tag) {
  uint64_t table_offset = 0, table_size = 0;
  if (!FindCertificateTable(image, &table_offset, &table_size))
    return CertificateTagStatus::kNoCertificateTable;

  // The signature blob after the WIN_CERTIFICATE header; it may not reach
  // beyond the table.
  DerCursor table(image.subspan(table_offset + kWinCertificateHeaderSize,
                                table_size - kWinCertificateHeaderSize));
  DerCursor cursor(std::span<const uint8_t>{});
  switch (table.Next(&cursor)) {
    case HeaderStatus::kOk:
      break;
    case HeaderStatus::kBadLengthCount:
      return CertificateTagStatus::kNoCertificateTable;
    case HeaderStatus::kOutOfBounds:
      return CertificateTagStatus::kInvalidAsn1;
  }

  // ContentInfo -> [0] content -> SignedData -> certificates [0].
  if (!cursor.Enter() ||  // ContentInfo SEQUENCE
      !cursor.Skip() ||   // contentType
      !cursor.Enter() ||  // [0] content
      !cursor.Enter() ||  // SignedData SEQUENCE
      !cursor.Skip() ||   // version
      !cursor.Skip() ||   // digestAlgorithms
      !cursor.Skip() ||   // encapContentInfo
      !cursor.Enter()) {  // certificates [0]
    return CertificateTagStatus::kInvalidAsn1;
  }

  // Every certificate must lie inside the set, so the walk ends exactly at
  // its end.
  while (!cursor.AtEnd()) {
    DerCursor certificate(std::span<const uint8_t>{});
    if (cursor.Next(&certificate) != HeaderStatus::kOk)
      return CertificateTagStatus::kInvalidAsn1;
    AppendDummyCertificateTag(certificate, tag);
  }
  return CertificateTagStatus::kOk;
}

}  // namespace

CertificateTagStatus ParseFakeCertificateTag(std::span<const uint8_t> image,
                                             std::string* tag) {
  tag->clear();
  const CertificateTagStatus status = ParseFakeCertificateTagImpl(image, tag);
  if (status != CertificateTagStatus::kOk)
    tag->clear();
  return status;
}

std::optional<std::span<const uint8_t>> FindAppendedTag(
    std::span<const uint8_t> image) {
  if (image.size() < 2 || image[0] != 'M' || image[1] != 'Z')
    return std::nullopt;
  uint64_t entry = 0;
  if (!FindSecurityEntry(image, &entry))
    return std::nullopt;
  uint32_t table_offset = 0, table_size = 0;
  if (!ReadLE32(image, entry, &table_offset) || table_offset == 0 ||
      !ReadLE32(image, entry + 4, &table_size)) {
    return std::nullopt;
  }
  // The block belongs to the table; reads stop at the table's end or the
  // image's end, whichever comes first.
  const uint64_t limit =
      std::min<uint64_t>(image.size(), uint64_t{table_offset} + table_size);

  // The PKCS#7 blob must start with a SEQUENCE with a two-byte length L.
  const uint64_t blob = uint64_t{table_offset} + kWinCertificateHeaderSize;
  if (blob + 4 > limit || image[blob] != 0x30 || image[blob + 1] != 0x82)
    return std::nullopt;
  const uint64_t blob_length = BigEndian16(&image[blob + 2]);
  // The end of the blob (header 8 + 4 + L) rounded up to 8 bytes.
  const uint64_t block =
      table_offset + (((blob_length + 19) & ~uint64_t{7}) % 0x20000);

  if (block + kAppendedTagHeaderSize > limit ||
      std::memcmp(&image[block], kAppendedTagMagic,
                  sizeof(kAppendedTagMagic)) != 0) {
    return std::nullopt;
  }
  const uint64_t length = BigEndian16(&image[block + 4]);
  if (block + kAppendedTagHeaderSize + length > limit)
    return std::nullopt;
  return image.subspan(block + kAppendedTagHeaderSize, length);
}

}  // namespace install_util
