#include "chrome/installer/norvel/util/trust/trusted_list.h"

#include <string>

#include "gmock/gmock.h"
#include "gtest/gtest.h"

namespace install_util {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr char kHashA[] =
    "00112233445566778899aabbccddeeff00112233445566778899AABBCCDDEEFF";

Bytes B(std::initializer_list<uint8_t> bytes) {
  return Bytes(bytes);
}

TEST(TrustedListTest, ReadsEntriesFirstSerialWinsAndSkipsBadItems) {
  const std::string text = std::string(R"({
    // comments and the other reader extensions are allowed
    "trusted_info": {"certificates": [
      {"id": "gAE=", "pub_key": ")") +
                           kHashA + R"("},
      {"id": "AQI=", "pub_key": "not hex"},
      {"id": "gAE=", "pub_key": ")" +
                           std::string(64, '1') + R"("},
      {"id": "AwQ="},
      {"id": "BQY=", "pub_key": ")" +
                           std::string(kHashA, 62) + R"("},
      {"id": "BwgJ", "pub_key": 5},
      "not an object", 7, null,
      {"pub_key": ")" + kHashA +
                           R"("},
      {"id": 12},
      {"id": "AQ"},
      {"id": "AR=="},
      {"id": " AQI="},
      {"id": "A*I="}
    ]}})";
  TrustedCertificateMap map;
  map[B({9})] = {};  // cleared first
  TrustedListParseResult result = ParseTrustedList(text, &map);
  ASSERT_EQ(TrustedListParseResult::kOk, result.status);

  std::vector<Bytes> serials;
  for (const auto& [serial, entry] : map) {
    EXPECT_EQ(serial, entry.serial);
    serials.push_back(serial);
  }
  // Unsigned order: 0x80 sorts after 0x07.
  EXPECT_THAT(serials, ElementsAre(B({1, 2}), B({3, 4}), B({5, 6}),
                                   B({7, 8, 9}), B({0x80, 1})));
  EXPECT_THAT(map[B({0x80, 1})].key_hash,
              ElementsAre(0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                          0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x00, 0x11,
                          0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA,
                          0xBB, 0xCC, 0xDD, 0xEE, 0xFF));
  EXPECT_THAT(map[B({1, 2})].key_hash, IsEmpty());
  EXPECT_THAT(map[B({3, 4})].key_hash, IsEmpty());
  EXPECT_THAT(map[B({5, 6})].key_hash, IsEmpty());
  EXPECT_THAT(map[B({7, 8, 9})].key_hash, IsEmpty());
}

TEST(TrustedListTest, RejectsTextThatIsNotAList) {
  TrustedCertificateMap map;
  TrustedListParseResult result =
      ParseTrustedList(R"({"trusted_info": {"certificates": [],}})", &map);
  EXPECT_EQ(TrustedListParseResult::kInvalidJson, result.status);
  EXPECT_THAT(result.json_error, HasSubstr("Line: 1, column: "));
  EXPECT_EQ(TrustedListParseResult::kInvalidJson,
            ParseTrustedList("", &map).status);

  for (const char* text :
       {R"([{"trusted_info": {"certificates": []}}])", R"({})",
        R"({"trusted_info": []})", R"({"trusted_info": {"certificates": {}}})",
        R"({"certificates": [{"id": "AQ=="}]})", R"("text")"}) {
    map[B({1})] = {};
    EXPECT_EQ(TrustedListParseResult::kIncorrectFormat,
              ParseTrustedList(text, &map).status)
        << text;
    EXPECT_TRUE(map.empty()) << text;
  }
}

TEST(TrustedListTest, SerialMatchesFromTheEndWithinBothSerials) {
  TrustedCertificateMap map;
  auto add = [&](Bytes serial, uint8_t marker) {
    map[serial] = TrustedCertificate{serial, Bytes{marker}};
  };
  add(B({0x01, 0xAB, 0xCD}), 1);
  add(B({0x00, 0xAB, 0xCD}), 2);
  add(B({0xCD}), 3);
  add(B({0x7F, 0x01}), 4);

  auto found = [&](Bytes serial) -> int {
    const TrustedCertificate* entry = FindTrustedCertificate(map, serial);
    return entry ? entry->key_hash[0] : 0;
  };
  // Both longer entries end with AB CD; the first in map order wins.
  EXPECT_EQ(2, found(B({0xAB, 0xCD})));
  EXPECT_EQ(1, found(B({0x01, 0xAB, 0xCD})));
  EXPECT_EQ(2, found(B({0xCD})));
  // An entry shorter than the certificate serial never matches.
  EXPECT_EQ(0, found(B({0x02, 0x01, 0xAB, 0xCD})));
  EXPECT_EQ(0, found(B({0x00, 0x7F, 0x01})));
  EXPECT_EQ(4, found(B({0x7F, 0x01})));
  EXPECT_EQ(0, found(B({0x7F})));
  EXPECT_EQ(0, found(B({})));
  EXPECT_EQ(nullptr, FindTrustedCertificate({}, B({1})));
}

TEST(TrustedListTest, AnEntryNamingAKeyAcceptsThatKeyOnly) {
  const Bytes hash(32, 0xAB);
  Bytes other = hash;
  other[31] ^= 1;
  const TrustedCertificate any_key{B({1}), {}};
  const TrustedCertificate one_key{B({1}), hash};
  EXPECT_TRUE(IsCertificateKeyAccepted(any_key, hash));
  EXPECT_TRUE(IsCertificateKeyAccepted(any_key, {}));
  EXPECT_TRUE(IsCertificateKeyAccepted(one_key, hash));
  EXPECT_FALSE(IsCertificateKeyAccepted(one_key, other));
  EXPECT_FALSE(
      IsCertificateKeyAccepted(one_key, Bytes(hash.begin(), hash.end() - 1)));
  // A certificate key whose hash could not be computed is unknown, which is
  // not the key the entry names.
  EXPECT_FALSE(IsCertificateKeyAccepted(one_key, {}));
}

TEST(TrustedListTest, Base64IsStrictAndRoundTrips) {
  for (size_t size = 0; size < 7; ++size) {
    Bytes bytes;
    for (size_t i = 0; i < size; ++i)
      bytes.push_back(static_cast<uint8_t>(0xF0 + i * 3));
    std::string text = EncodeBase64(bytes);
    EXPECT_EQ(0u, text.size() % 4);
    EXPECT_EQ(bytes, DecodeBase64Strict(text)) << text;
  }
  EXPECT_EQ("+/8=", EncodeBase64(B({0xFB, 0xFF})));
  for (const char* bad : {"A", "AQ", "AQ=", "AQ==\n", "A===", "=AAA", "AQ=A",
                          "AR==", "AQJ=", "AQ-=", "AQ_=", "AQ ="}) {
    EXPECT_FALSE(DecodeBase64Strict(bad)) << bad;
  }
}

TEST(TrustedListTest, HexNeedsExactlyTheDigits) {
  EXPECT_EQ(B({0xAB, 0x0F}), DecodeHex("aB0f", 2));
  EXPECT_FALSE(DecodeHex("ab0", 2));
  EXPECT_FALSE(DecodeHex("ab0f0", 2));
  EXPECT_FALSE(DecodeHex("ag0f", 2));
  EXPECT_FALSE(DecodeHex(" ab0f", 2));
  EXPECT_EQ("00AB7F", EncodeHexUpper(B({0x00, 0xAB, 0x7F})));
  EXPECT_EQ("", EncodeHexUpper({}));
}

}  // namespace
}  // namespace install_util
