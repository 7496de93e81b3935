#include "chrome/installer/norvel/util/trust/pe_certificate_table.h"

#include <cstring>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"

namespace install_util {
namespace {

using ::testing::ElementsAre;

void Put32(std::vector<uint8_t>* bytes, size_t offset, uint32_t value) {
  std::memcpy(bytes->data() + offset, &value, 4);
}

void Put16(std::vector<uint8_t>* bytes, size_t offset, uint16_t value) {
  std::memcpy(bytes->data() + offset, &value, 2);
}

// Headers of a PE32 (or PE32+) image whose PE header starts at 0x80 and
// whose certificate table is at `table_offset`.
std::vector<uint8_t> Headers(bool pe32_plus,
                             uint32_t table_offset,
                             uint32_t table_size,
                             uint32_t directory_count = 16) {
  std::vector<uint8_t> bytes(0x400, 0);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  Put32(&bytes, 0x3C, 0x80);
  Put32(&bytes, 0x80, 0x00004550);
  const size_t optional = 0x80 + 24;
  Put16(&bytes, 0x80 + 4 + 16, pe32_plus ? 240 : 224);
  Put16(&bytes, optional, pe32_plus ? 0x20B : 0x10B);
  const size_t directories = optional + (pe32_plus ? 112 : 96);
  Put32(&bytes, optional + (pe32_plus ? 108 : 92), directory_count);
  Put32(&bytes, directories + 4 * 8, table_offset);
  Put32(&bytes, directories + 4 * 8 + 4, table_size);
  return bytes;
}

TEST(PeCertificateTableTest, FindsTheTableOfBothImageKinds) {
  for (bool pe32_plus : {false, true}) {
    auto location =
        LocateCertificateTable(Headers(pe32_plus, 0x1000, 0x200), 0x1200);
    ASSERT_TRUE(location) << pe32_plus;
    EXPECT_EQ(0x1000u, location->table_offset);
    EXPECT_EQ(0x200u, location->table_size);
    EXPECT_EQ(0x80u + 24 + (pe32_plus ? 112 : 96) + 32,
              location->directory_entry_offset);
  }
}

TEST(PeCertificateTableTest, RefusesBrokenImagesAndTablesOutsideTheFile) {
  const std::vector<uint8_t> good = Headers(false, 0x1000, 0x200);
  EXPECT_FALSE(LocateCertificateTable(good, 0x11FF));  // past the end
  EXPECT_FALSE(LocateCertificateTable(Headers(false, 0, 0x200), 0x1200));
  EXPECT_FALSE(LocateCertificateTable(Headers(false, 0x1000, 4), 0x1200));
  EXPECT_FALSE(LocateCertificateTable(Headers(false, 0x10, 0x20), 0x1200));
  EXPECT_FALSE(
      LocateCertificateTable(Headers(false, 0x1000, 0x200, 4), 0x1200));
  EXPECT_FALSE(LocateCertificateTable(Headers(false, 0xFFFFFFF0u, 0x20),
                                      0xFFFFFFFFull));  // wraps 32 bits

  std::vector<uint8_t> bad = good;
  bad[0] = 'X';
  EXPECT_FALSE(LocateCertificateTable(bad, 0x1200));
  bad = good;
  Put32(&bad, 0x3C, 0x3FE);  // PE header cut off by the end of the buffer
  EXPECT_FALSE(LocateCertificateTable(bad, 0x1200));
  bad = good;
  Put32(&bad, 0x3C, 0xFFFFFFF0u);
  EXPECT_FALSE(LocateCertificateTable(bad, 0x1200));
  bad = good;
  Put16(&bad, 0x80 + 24, 0x107);  // ROM image
  EXPECT_FALSE(LocateCertificateTable(bad, 0x1200));
  bad = good;
  Put16(&bad, 0x80 + 20, 100);  // optional header too short for the entry
  EXPECT_FALSE(LocateCertificateTable(bad, 0x1200));
  for (size_t size = 0; size < 0x80 + 24 + 96 + 40; size += 7) {
    EXPECT_FALSE(LocateCertificateTable(
        std::span<const uint8_t>(good).first(size), 0x1200))
        << size;
  }
}

TEST(PeCertificateTableTest, MakesOnePaddedEntry) {
  const uint8_t pkcs7[] = {0x30, 0x03, 1, 2, 3};
  EXPECT_THAT(MakeCertificateTable(pkcs7),
              ElementsAre(13, 0, 0, 0, 0x00, 0x02, 0x02, 0x00, 0x30, 0x03, 1, 2,
                          3, 0, 0, 0));
}

TEST(PeCertificateTableTest, DerElementLength) {
  const uint8_t short_form[] = {0x30, 0x02, 1, 2, 0, 0};
  EXPECT_EQ(4u, DerElementLength(short_form));
  std::vector<uint8_t> long_form = {0x30, 0x82, 0x01, 0x00};
  long_form.resize(4 + 0x100 + 3);
  EXPECT_EQ(4u + 0x100, DerElementLength(long_form));
  long_form.resize(4 + 0xFF);
  EXPECT_FALSE(DerElementLength(long_form));
  const uint8_t indefinite[] = {0x30, 0x80, 0, 0};
  EXPECT_FALSE(DerElementLength(indefinite));
  const uint8_t huge[] = {0x30, 0x85, 1, 0, 0, 0, 0};
  EXPECT_FALSE(DerElementLength(huge));
  const uint8_t high_tag[] = {0x1F, 0x01, 0x00};
  EXPECT_FALSE(DerElementLength(high_tag));
  const uint8_t tiny[] = {0x30};
  EXPECT_FALSE(DerElementLength(tiny));
}

}  // namespace
}  // namespace install_util
