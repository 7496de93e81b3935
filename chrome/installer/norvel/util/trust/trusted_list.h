#ifndef CHROME_INSTALLER_NORVEL_UTIL_TRUST_TRUSTED_LIST_H_
#define CHROME_INSTALLER_NORVEL_UTIL_TRUST_TRUSTED_LIST_H_

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The list of certificates trusted to sign a module, as carried in the
// module's "TRUSTED.JSON" resource, and the serial matching used against it.
// Pure: no OS calls, so it also builds natively for fuzzing.
namespace install_util {

using Bytes = std::vector<uint8_t>;

struct TrustedCertificate {
  Bytes serial;    // most significant byte first
  Bytes key_hash;  // SHA-256 of the public key bits; empty: any key
};

// Keyed by serial, ordered by unsigned lexicographic comparison (which is
// what std::vector<uint8_t>'s operator< does).
using TrustedCertificateMap = std::map<Bytes, TrustedCertificate>;

struct TrustedListParseResult {
  enum Status { kOk, kInvalidJson, kIncorrectFormat };
  Status status = kOk;
  std::string json_error;  // the JSON reader's message for kInvalidJson
};

// Clears `map` and fills it from the list text:
//   {"trusted_info": {"certificates": [{"id": <Base64 serial>,
//                                       "pub_key": <64 hex digits>}, ...]}}
// Items that are not objects or lack a valid "id" are skipped; a missing or
// malformed "pub_key" leaves the entry's key hash empty. The first entry for
// a serial wins.
TrustedListParseResult ParseTrustedList(std::string_view text,
                                        TrustedCertificateMap* map);

// The first entry, in map order, whose serial ends with `certificate_serial`
// (so an entry with extra leading bytes, such as a DER sign byte, matches).
// An entry shorter than the certificate serial never matches, and an empty
// certificate serial matches nothing.
const TrustedCertificate* FindTrustedCertificate(
    const TrustedCertificateMap& map,
    std::span<const uint8_t> certificate_serial);

// Whether a certificate whose public key hashes to `certificate_key_hash`
// may sign for `entry`. An entry without a key hash accepts any key of its
// serial; an entry with one accepts that key only, and so never a key whose
// hash could not be computed (empty).
bool IsCertificateKeyAccepted(const TrustedCertificate& entry,
                              std::span<const uint8_t> certificate_key_hash);

// Standard alphabet with padding; anything else (white space, missing
// padding, non-zero bits after the last byte) is rejected.
std::optional<Bytes> DecodeBase64Strict(std::string_view text);
std::string EncodeBase64(std::span<const uint8_t> bytes);

// Exactly 2 * `size` hexadecimal digits of either case.
std::optional<Bytes> DecodeHex(std::string_view text, size_t size);
std::string EncodeHexUpper(std::span<const uint8_t> bytes);

}  // namespace install_util

#endif  // CHROME_INSTALLER_NORVEL_UTIL_TRUST_TRUSTED_LIST_H_
