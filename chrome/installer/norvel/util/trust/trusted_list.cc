#include "chrome/installer/norvel/util/trust/trusted_list.h"

#include <algorithm>

#include "base/json.h"

namespace install_util {
namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kKeyHashSize = 32;

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z')
    return c - 'A';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 26;
  if (c >= '0' && c <= '9')
    return c - '0' + 52;
  if (c == '+')
    return 62;
  if (c == '/')
    return 63;
  return -1;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<Bytes> DecodeBase64Strict(std::string_view text) {
  if (text.size() % 4 != 0)
    return std::nullopt;
  size_t padding = 0;
  if (!text.empty() && text.back() == '=')
    padding = text.size() >= 2 && text[text.size() - 2] == '=' ? 2 : 1;
  Bytes out;
  out.reserve(text.size() / 4 * 3);
  uint32_t bits = 0;
  int bit_count = 0;
  for (size_t i = 0; i < text.size() - padding; ++i) {
    int value = Base64Value(text[i]);
    if (value < 0)
      return std::nullopt;
    bits = (bits << 6) | static_cast<uint32_t>(value);
    bit_count += 6;
    if (bit_count >= 8) {
      bit_count -= 8;
      out.push_back(static_cast<uint8_t>(bits >> bit_count));
      bits &= (1u << bit_count) - 1;
    }
  }
  // Bits left over after the last whole byte must be zero, so that every
  // serial has exactly one spelling.
  if (bits != 0)
    return std::nullopt;
  return out;
}

std::string EncodeBase64(std::span<const uint8_t> bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out.push_back(kBase64Alphabet[v >> 18]);
    out.push_back(kBase64Alphabet[(v >> 12) & 63]);
    out.push_back(kBase64Alphabet[(v >> 6) & 63]);
    out.push_back(kBase64Alphabet[v & 63]);
  }
  size_t rest = bytes.size() - i;
  if (rest) {
    uint32_t v = bytes[i] << 16;
    if (rest == 2)
      v |= bytes[i + 1] << 8;
    out.push_back(kBase64Alphabet[v >> 18]);
    out.push_back(kBase64Alphabet[(v >> 12) & 63]);
    out.push_back(rest == 2 ? kBase64Alphabet[(v >> 6) & 63] : '=');
    out.push_back('=');
  }
  return out;
}

std::optional<Bytes> DecodeHex(std::string_view text, size_t size) {
  if (text.size() != size * 2)
    return std::nullopt;
  Bytes out(size);
  for (size_t i = 0; i < size; ++i) {
    int high = HexValue(text[2 * i]);
    int low = HexValue(text[2 * i + 1]);
    if (high < 0 || low < 0)
      return std::nullopt;
    out[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return out;
}

std::string EncodeHexUpper(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

TrustedListParseResult ParseTrustedList(std::string_view text,
                                        TrustedCertificateMap* map) {
  map->clear();
  TrustedListParseResult result;
  base::JsonParseError error;
  std::optional<base::Json> root = base::ParseJson(text, &error);
  if (!root) {
    result.status = TrustedListParseResult::kInvalidJson;
    result.json_error = error.ToString();
    return result;
  }
  const base::Json* certificates =
      root->is_object() ? base::FindJsonPath(*root, "trusted_info.certificates")
                        : nullptr;
  if (!certificates || !certificates->is_array()) {
    result.status = TrustedListParseResult::kIncorrectFormat;
    return result;
  }
  for (const base::Json& item : *certificates) {
    if (!item.is_object())
      continue;
    auto id = item.find("id");
    const std::string* id_text =
        id == item.end() ? nullptr : base::JsonAsString(&*id);
    if (!id_text)
      continue;
    std::optional<Bytes> serial = DecodeBase64Strict(*id_text);
    if (!serial)
      continue;
    TrustedCertificate entry;
    entry.serial = *serial;
    auto pub_key = item.find("pub_key");
    const std::string* key_text =
        pub_key == item.end() ? nullptr : base::JsonAsString(&*pub_key);
    if (key_text) {
      if (std::optional<Bytes> hash = DecodeHex(*key_text, kKeyHashSize))
        entry.key_hash = std::move(*hash);
    }
    map->emplace(std::move(*serial), std::move(entry));  // first one wins
  }
  return result;
}

const TrustedCertificate* FindTrustedCertificate(
    const TrustedCertificateMap& map,
    std::span<const uint8_t> certificate_serial) {
  if (certificate_serial.empty())
    return nullptr;
  for (const auto& [serial, entry] : map) {
    if (serial.size() < certificate_serial.size())
      continue;
    if (std::equal(certificate_serial.rbegin(), certificate_serial.rend(),
                   serial.rbegin())) {
      return &entry;
    }
  }
  return nullptr;
}

bool IsCertificateKeyAccepted(const TrustedCertificate& entry,
                              std::span<const uint8_t> certificate_key_hash) {
  if (entry.key_hash.empty())
    return true;
  return std::equal(entry.key_hash.begin(), entry.key_hash.end(),
                    certificate_key_hash.begin(), certificate_key_hash.end());
}

}  // namespace install_util
