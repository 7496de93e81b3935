#ifndef CHROME_INSTALLER_NORVEL_UTIL_TRUST_PE_CERTIFICATE_TABLE_H_
#define CHROME_INSTALLER_NORVEL_UTIL_TRUST_PE_CERTIFICATE_TABLE_H_

#include <cstdint>
#include <span>
#include <vector>

// Writing a PE file's Authenticode certificate table (base/pe_image_reader.h
// finds it). Pure: no OS calls.
namespace install_util {

// A certificate table holding one WIN_CERTIFICATE with `pkcs7` (revision
// 2.0, PKCS_SIGNED_DATA), padded with zeros to a multiple of 8 bytes.
std::vector<uint8_t> MakeCertificateTable(std::span<const uint8_t> pkcs7);

}  // namespace install_util

#endif  // CHROME_INSTALLER_NORVEL_UTIL_TRUST_PE_CERTIFICATE_TABLE_H_
