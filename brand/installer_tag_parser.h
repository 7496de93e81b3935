#ifndef BRAND_INSTALLER_TAG_PARSER_H_
#define BRAND_INSTALLER_TAG_PARSER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Readers of the installer tag that a download service writes into the
// certificate table of a signed executable. They work on the file's bytes
// only and make no OS calls, so they also build natively (fuzzing). Every
// read is checked against the bytes given and against the element that
// encloses it.
namespace install_util {

enum class CertificateTagStatus {
  kOk,
  // Not a PE image, or no usable certificate table.
  kNoCertificateTable,
  // The signature blob in the certificate table is malformed or runs past
  // the table.
  kInvalidAsn1,
};

// The first 112 bytes of a dummy certificate's tbsCertificate contents:
// version 3, serial 1, sha1WithRSAEncryption, issuer "Unknown issuer",
// validity 2013-01-01 to 2013-04-01, subject "Dummy certificate".
inline constexpr size_t kDummyCertificateTemplateSize = 112;
extern const uint8_t kDummyCertificateTemplate[kDummyCertificateTemplateSize];

// Looks through the certificates of the PKCS#7 signature in `image`'s
// certificate table and sets `tag` to the tags of all dummy certificates,
// concatenated in certificate order (empty when there are none). `tag` is
// cleared on failure.
CertificateTagStatus ParseFakeCertificateTag(std::span<const uint8_t> image,
                                             std::string* tag);

// The tag bytes of the "Nact" block appended after the PKCS#7 signature in
// `image`'s certificate table; nullopt when there is no such block or it
// would reach beyond the table or the image.
std::optional<std::span<const uint8_t>> FindAppendedTag(
    std::span<const uint8_t> image);

}  // namespace install_util

#endif  // BRAND_INSTALLER_TAG_PARSER_H_
