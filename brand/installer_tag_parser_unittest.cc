#include "brand/installer_tag_parser.h"

#include <span>
#include <string>
#include <vector>

#include "brand/tag_test_images.h"
#include "gtest/gtest.h"

namespace install_util {
namespace {

using test_images::AppendedBlock;
using test_images::Der;
using test_images::DummyCertificate;
using test_images::Image;
using test_images::ImageOptions;
using test_images::kTableOffset;
using test_images::OtherCertificate;
using test_images::PutLE32;
using test_images::SecurityEntryOffset;
using test_images::SignedData;
using test_images::TagValue;

std::span<const uint8_t> Bytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// `image` with the little-endian `value` written at `offset`.
std::string Patched(std::string image, size_t offset, uint32_t value) {
  PutLE32(&image, offset, value);
  return image;
}

struct CertificateResult {
  CertificateTagStatus status;
  std::string tag;
};

CertificateResult Parse(const std::string& image) {
  CertificateResult result{CertificateTagStatus::kOk, "stale"};
  result.status = ParseFakeCertificateTag(Bytes(image), &result.tag);
  return result;
}

std::string AppendedTag(const std::string& image) {
  auto tag = FindAppendedTag(Bytes(image));
  return tag ? std::string(tag->begin(), tag->end()) : "<none>";
}

// Offset of the signature blob in the images of tag_test_images.
constexpr size_t kBlobOffset = kTableOffset + 8;

TEST(ParseFakeCertificateTagTest, ReadsTagFromPe32AndPe32PlusImages) {
  const std::string blob =
      SignedData({OtherCertificate(), DummyCertificate(TagValue("k=v&x=1"))});
  for (bool pe32_plus : {false, true}) {
    CertificateResult r = Parse(Image(blob, {.pe32_plus = pe32_plus}));
    EXPECT_EQ(CertificateTagStatus::kOk, r.status) << pe32_plus;
    EXPECT_EQ("k=v&x=1", r.tag) << pe32_plus;
  }
}

TEST(ParseFakeCertificateTagTest, ConcatenatesTagsInCertificateOrder) {
  const std::string blob =
      SignedData({DummyCertificate(TagValue("brand=a")), OtherCertificate(),
                  DummyCertificate(TagValue("&banner=b", 100))});
  CertificateResult r = Parse(Image(blob));
  EXPECT_EQ(CertificateTagStatus::kOk, r.status);
  EXPECT_EQ("brand=a&banner=b", r.tag);
}

// Certificates that are almost dummy certificates, or dummy certificates
// with unusable tag space, contribute nothing and break nothing after them.
TEST(ParseFakeCertificateTagTest, NearMissesContributeNothing) {
  struct Case {
    const char* name;
    std::string certificate;
  } cases[] = {
      {"reserved space, no tag", DummyCertificate(TagValue("", 64))},
      {"other serial", DummyCertificate(TagValue("t"), {.serial = 2})},
      {"three extensions", DummyCertificate(TagValue("t"), {.extensions = 3})},
      {"length beyond value", DummyCertificate(std::string("\x00\x06"
                                                           "abc",
                                                           5))},
      {"value of one byte", DummyCertificate(std::string("\x00", 1))},
      {"tbs shorter than template",
       Der(0x30, Der(0x30, "\xa0\x03\x02\x01\x02"))},
      {"tbs length beyond certificate",
       Der(0x30, std::string("\x30\x84\x10\x00\x00\x00", 6))},
      {"bad length count inside", Der(0x30, std::string("\x30\x85\x00", 3))},
      {"not constructed", Der(0x04, "")},
  };
  for (const Case& c : cases) {
    const std::string blob =
        SignedData({c.certificate, DummyCertificate(TagValue("after"))});
    CertificateResult r = Parse(Image(blob));
    EXPECT_EQ(CertificateTagStatus::kOk, r.status) << c.name;
    EXPECT_EQ("after", r.tag) << c.name;
  }
}

TEST(ParseFakeCertificateTagTest, SignatureWithoutDummyCertificatesGivesNoTag) {
  CertificateResult r = Parse(Image(SignedData({OtherCertificate()})));
  EXPECT_EQ(CertificateTagStatus::kOk, r.status);
  EXPECT_EQ("", r.tag);
}

TEST(ParseFakeCertificateTagTest, ImagesWithoutUsableTableAreRejected) {
  const std::string good = Image(SignedData({DummyCertificate(TagValue("t"))}));
  const uint32_t entry = SecurityEntryOffset(false);
  auto patched = [&](size_t offset, uint32_t value) {
    return Patched(good, offset, value);
  };
  struct Case {
    const char* name;
    std::string image;
  } cases[] = {
      {"empty", ""},
      {"63 bytes", good.substr(0, 63)},
      {"e_lfanew past the end", patched(0x3c, 0xfffffff0)},
      {"headers cut short", good.substr(0, 0x40 + 100)},
      {"no PE signature", patched(0x40, 0x00004551)},
      {"unknown magic", patched(0x40 + 24, 0x10c)},
      {"unsigned", patched(entry, 0)},
      {"table past the end", patched(entry + 4, 0x10000)},
      {"table offset wraps", patched(entry, 0xfffffff8)},
      {"table too small for its header", patched(entry + 4, 4)},
      {"length count 0 (indefinite)",
       good.substr(0, kBlobOffset + 1) + '\x80' + good.substr(kBlobOffset + 2)},
      {"length count 5",
       good.substr(0, kBlobOffset + 1) + '\x85' + good.substr(kBlobOffset + 2)},
  };
  for (const Case& c : cases) {
    CertificateResult r = Parse(c.image);
    EXPECT_EQ(CertificateTagStatus::kNoCertificateTable, r.status) << c.name;
    EXPECT_EQ("", r.tag) << c.name;
  }
}

// A table cut anywhere inside the signature: the walk must notice that an
// element runs past the table, however short the rest is.
TEST(ParseFakeCertificateTagTest, TruncatedTablesAreInvalid) {
  const std::string blob = SignedData(
      {DummyCertificate(TagValue("first")), DummyCertificate(TagValue("t"))});
  const std::string image = Image(blob);
  for (size_t table_size = 8; table_size < 8 + blob.size(); ++table_size) {
    std::string cut = image.substr(0, kTableOffset + table_size);
    PutLE32(&cut, SecurityEntryOffset(false) + 4,
            static_cast<uint32_t>(table_size));
    CertificateResult r = Parse(cut);
    EXPECT_EQ(CertificateTagStatus::kInvalidAsn1, r.status) << table_size;
    EXPECT_EQ("", r.tag) << table_size;
  }
}

TEST(ParseFakeCertificateTagTest, OversizedLengthsAreInvalid) {
  const std::string dummy = DummyCertificate(TagValue("t"));
  struct Case {
    const char* name;
    std::string blob;
  } cases[] = {
      // The signature blob claims 4 GiB.
      {"ContentInfo", std::string("\x30\x84\xff\xff\xff\xff", 6) +
                          SignedData({dummy}).substr(4)},
      {"certificate set",
       Der(0x30,
           Der(0x06, "\x2a") +
               Der(0xa0,
                   Der(0x30, Der(0x02, "\x01") + Der(0x31, "") + Der(0x30, "") +
                                 std::string("\xa0\x84\x7f\xff\xff\xff", 6) +
                                 dummy)))},
      {"one certificate",
       SignedData({dummy, std::string("\x30\x84\xff\xff\xff\xf0", 6) + dummy})},
      {"bad length count of a certificate",
       SignedData({dummy, std::string("\x30\x85\x00\x00\x00\x00\x01", 7)})},
      {"header of a certificate cut",
       SignedData({dummy, std::string("\x30", 1)})},
  };
  for (const Case& c : cases) {
    CertificateResult r = Parse(Image(c.blob));
    EXPECT_EQ(CertificateTagStatus::kInvalidAsn1, r.status) << c.name;
    EXPECT_EQ("", r.tag) << c.name;
  }
}

TEST(ParseFakeCertificateTagTest, GarbageTablesNeverYieldATag) {
  // A fixed pseudo-random sequence keeps failures reproducible.
  uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return static_cast<char>(state >> 16);
  };
  for (int round = 0; round < 500; ++round) {
    std::string garbage(static_cast<size_t>(round % 97) + 1, '\0');
    for (char& c : garbage)
      c = next();
    CertificateResult r = Parse(Image(garbage));
    if (r.status != CertificateTagStatus::kOk) {
      EXPECT_EQ("", r.tag) << round;
    }
  }
  // Bytes that read as short elements: the walk fails inside ContentInfo.
  CertificateResult r = Parse(Image(std::string(64, '\x5a')));
  EXPECT_EQ(CertificateTagStatus::kInvalidAsn1, r.status);
}

TEST(FindAppendedTagTest, ReadsBlockAfterSignature) {
  // The block position comes from a two-byte blob length.
  const std::string blob = SignedData({OtherCertificate(300)});
  ASSERT_EQ('\x82', blob[1]);
  EXPECT_EQ("brand_id=x&banerid=42",
            AppendedTag(Image(
                blob, {.appended = AppendedBlock("brand_id=x&banerid=42")})));
  EXPECT_EQ("", AppendedTag(Image(blob, {.appended = AppendedBlock("")})));
  // A PE32+ image keeps its data directory 16 bytes further on.
  EXPECT_EQ("brand_id=y",
            AppendedTag(Image(blob, {.pe32_plus = true,
                                     .appended = AppendedBlock("brand_id=y")})));
}

TEST(FindAppendedTagTest, MissingOrMalformedBlocksGiveNothing) {
  const std::string blob = SignedData({OtherCertificate(300)});
  const std::string good = Image(blob, {.appended = AppendedBlock("tag")});
  const uint32_t entry = SecurityEntryOffset(false);
  auto patched = [&](size_t offset, uint32_t value) {
    return Patched(good, offset, value);
  };
  std::string wrong_magic = Image(blob, {.appended = "Nacx" + TagValue("tag")});
  std::string short_length_form = good;
  short_length_form[kBlobOffset + 1] = '\x81';
  // N beyond the table (and the file): the table covers "Nact", N and "tag".
  std::string long_tag =
      Image(blob, {.appended = std::string("Nact\x01\x00tag", 9)});
  // A block that the table does not cover, although the file holds it.
  std::string outside_table = good;
  PutLE32(&outside_table, entry + 4,
          static_cast<uint32_t>(((blob.size() + 8 + 7) / 8) * 8));
  struct Case {
    const char* name;
    std::string image;
  } cases[] = {
      {"no block", Image(blob)},
      {"wrong magic", wrong_magic},
      {"no MZ", "MX" + good.substr(2)},
      {"no PE signature", patched(0x40, 0)},
      {"unsigned", patched(entry, 0)},
      {"table offset past the end", patched(entry, 0xfffffff0)},
      {"blob length not two bytes", short_length_form},
      {"tag length beyond table", long_tag},
      {"block outside the table", outside_table},
      {"file cut inside the block", good.substr(0, good.size() - 8)},
      {"headers only", good.substr(0, 0x100)},
  };
  for (const Case& c : cases)
    EXPECT_EQ("<none>", AppendedTag(c.image)) << c.name;
}

}  // namespace
}  // namespace install_util
