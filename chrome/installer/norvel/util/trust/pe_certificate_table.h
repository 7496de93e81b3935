#ifndef CHROME_INSTALLER_NORVEL_UTIL_TRUST_PE_CERTIFICATE_TABLE_H_
#define CHROME_INSTALLER_NORVEL_UTIL_TRUST_PE_CERTIFICATE_TABLE_H_

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Where a PE file keeps its Authenticode certificate table. Pure: works on
// the leading bytes of the file, no OS calls.
namespace install_util {

struct CertificateTableLocation {
  uint32_t directory_entry_offset = 0;  // file offset of the data directory
  uint32_t table_offset = 0;            // file offset of the table
  uint32_t table_size = 0;
};

// `headers` are the first bytes of a file of `file_size` bytes (enough to
// hold the DOS, PE and optional headers). Nullopt when they are not a PE
// image or the table is missing or lies outside the file.
std::optional<CertificateTableLocation> LocateCertificateTable(
    std::span<const uint8_t> headers,
    uint64_t file_size);

// A certificate table holding one WIN_CERTIFICATE with `pkcs7` (revision
// 2.0, PKCS_SIGNED_DATA), padded with zeros to a multiple of 8 bytes.
std::vector<uint8_t> MakeCertificateTable(std::span<const uint8_t> pkcs7);

// The length of the DER element (tag, length and contents) at the start of
// `bytes`; nullopt when it is malformed or longer than `bytes`. Used to cut
// a signature from the padding that follows it in its table entry.
std::optional<size_t> DerElementLength(std::span<const uint8_t> bytes);

}  // namespace install_util

#endif  // CHROME_INSTALLER_NORVEL_UTIL_TRUST_PE_CERTIFICATE_TABLE_H_
