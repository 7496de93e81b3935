#include "chrome/installer/norvel/util/trust/pe_certificate_table.h"

#include <algorithm>
#include <cstring>

#include "base/pe_image_reader.h"

namespace install_util {

std::vector<uint8_t> MakeCertificateTable(std::span<const uint8_t> pkcs7) {
  constexpr size_t kHeaderSize = sizeof(base::pe::WinCertificateHeader);
  const size_t length = kHeaderSize + pkcs7.size();
  std::vector<uint8_t> table((length + 7) & ~size_t{7}, 0);
  const base::pe::WinCertificateHeader header = {
      static_cast<uint32_t>(length), base::pe::kWinCertRevision2,
      base::pe::kWinCertTypePkcsSignedData};
  std::memcpy(table.data(), &header, kHeaderSize);
  std::copy(pkcs7.begin(), pkcs7.end(), table.begin() + kHeaderSize);
  return table;
}

}  // namespace install_util
