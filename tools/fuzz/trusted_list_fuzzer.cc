// libFuzzer target for the trusted-list reader and the serial matching.
// Input: one byte n, then n % 17 bytes of a certificate serial, then the
// list text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "chrome/installer/norvel/util/trust/trusted_list.h"

namespace {

void Check(bool condition) {
  if (!condition)
    std::abort();
}

// The matching rule written the slow, obvious way.
const install_util::TrustedCertificate* ReferenceFind(
    const install_util::TrustedCertificateMap& map,
    std::span<const uint8_t> serial) {
  if (serial.empty())
    return nullptr;
  for (const auto& [key, entry] : map) {
    if (key.size() < serial.size())
      continue;
    bool same = true;
    for (size_t i = 0; i < serial.size(); ++i)
      same = same && key[key.size() - serial.size() + i] == serial[i];
    if (same)
      return &entry;
  }
  return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  const size_t serial_size = std::min<size_t>(data[0] % 17, size - 1);
  std::span<const uint8_t> serial(data + 1, serial_size);
  std::string_view text(reinterpret_cast<const char*>(data) + 1 + serial_size,
                        size - 1 - serial_size);

  install_util::TrustedCertificateMap map;
  install_util::TrustedListParseResult result =
      install_util::ParseTrustedList(text, &map);
  if (result.status != install_util::TrustedListParseResult::kOk)
    Check(map.empty());
  for (const auto& [key, entry] : map) {
    Check(key == entry.serial);
    Check(entry.key_hash.empty() || entry.key_hash.size() == 32);
  }
  Check(install_util::FindTrustedCertificate(map, serial) ==
        ReferenceFind(map, serial));

  // Strict Base64 has one spelling per byte string.
  if (auto decoded = install_util::DecodeBase64Strict(text))
    Check(install_util::EncodeBase64(*decoded) == text);
  return 0;
}
