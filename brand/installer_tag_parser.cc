#include "brand/installer_tag_parser.h"

#include <algorithm>
#include <cstring>

#include "base/der_reader.h"
#include "base/pe_image_reader.h"

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

using base::CertificateTableLocation;
using base::DerCursor;
using base::DerStatus;

constexpr uint8_t kAppendedTagMagic[4] = {'N', 'a', 'c', 't'};
// Magic and the 16-bit tag length.
constexpr uint64_t kAppendedTagHeaderSize = 6;
// The appended block follows a signature blob that starts with a SEQUENCE
// with a two-byte length.
constexpr uint8_t kDerSequence = 0x30;
constexpr uint8_t kDerTwoLengthBytes = 0x82;

uint16_t BigEndian16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
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
  const std::optional<CertificateTableLocation> location =
      base::ReadSecurityDirectory(image, base::PeHeaderChecks::kLayout);
  if (!location || !base::IsCertificateTableInFile(*location, image.size()))
    return CertificateTagStatus::kNoCertificateTable;

  // The signature blob after the WIN_CERTIFICATE header; it may not reach
  // beyond the table.
  constexpr size_t kHeader = sizeof(base::pe::WinCertificateHeader);
  DerCursor table(image.subspan(location->table_offset + kHeader,
                                location->table_size - kHeader));
  DerCursor cursor;
  switch (table.Next(&cursor)) {
    case DerStatus::kOk:
      break;
    case DerStatus::kBadLengthCount:
      return CertificateTagStatus::kNoCertificateTable;
    case DerStatus::kOutOfBounds:
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
    DerCursor certificate;
    if (cursor.Next(&certificate) != DerStatus::kOk)
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
  if (!base::HasDosSignature(image))
    return std::nullopt;
  const std::optional<CertificateTableLocation> location =
      base::ReadSecurityDirectory(image, base::PeHeaderChecks::kLayout);
  if (!location || location->table_offset == 0)
    return std::nullopt;
  const uint64_t table_offset = location->table_offset;
  // The block belongs to the table; reads stop at the table's end or the
  // image's end, whichever comes first.
  const uint64_t limit =
      std::min<uint64_t>(image.size(), table_offset + location->table_size);

  // The PKCS#7 blob must start with a SEQUENCE with a two-byte length L.
  const uint64_t blob = table_offset + sizeof(base::pe::WinCertificateHeader);
  if (blob + 4 > limit || image[blob] != kDerSequence ||
      image[blob + 1] != kDerTwoLengthBytes) {
    return std::nullopt;
  }
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
