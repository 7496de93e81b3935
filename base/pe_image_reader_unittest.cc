#include "base/pe_image_reader.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "gtest/gtest.h"
#include "test/support/pe_test_image.h"

namespace base {
namespace {

// The layouts declared for the native build are winnt.h's.
static_assert(sizeof(pe::DosHeader) == sizeof(IMAGE_DOS_HEADER));
static_assert(offsetof(pe::DosHeader, e_lfanew) ==
              offsetof(IMAGE_DOS_HEADER, e_lfanew));
static_assert(sizeof(pe::NtHeaders32) == sizeof(IMAGE_NT_HEADERS32));
static_assert(sizeof(pe::NtHeaders64) == sizeof(IMAGE_NT_HEADERS64));
static_assert(offsetof(pe::NtHeaders32, FileHeader) +
                  offsetof(pe::FileHeader, SizeOfOptionalHeader) ==
              offsetof(IMAGE_NT_HEADERS32, FileHeader.SizeOfOptionalHeader));
static_assert(offsetof(pe::OptionalHeader32, NumberOfRvaAndSizes) ==
              offsetof(IMAGE_OPTIONAL_HEADER32, NumberOfRvaAndSizes));
static_assert(offsetof(pe::OptionalHeader64, NumberOfRvaAndSizes) ==
              offsetof(IMAGE_OPTIONAL_HEADER64, NumberOfRvaAndSizes));
static_assert(offsetof(pe::OptionalHeader32, DataDirectory) ==
              offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory));
static_assert(offsetof(pe::OptionalHeader64, DataDirectory) ==
              offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory));
static_assert(pe::kSecurityDirectory == IMAGE_DIRECTORY_ENTRY_SECURITY);

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
  return test::MakePeHeaders({.pe32_plus = pe32_plus,
                              .nt_headers_offset = 0x80,
                              .directory_count = directory_count,
                              .table_offset = table_offset,
                              .table_size = table_size},
                             0x400);
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

// The tag readers go by the layout alone: a directory count or optional
// header size that leaves the entry out, or a missing "MZ", does not hide
// the entry from them; a loader (and the trust code) refuses such images.
TEST(PeCertificateTableTest, LayoutChecksIgnoreWhatOnlyALoaderNeeds) {
  for (bool pe32_plus : {false, true}) {
    const test::PeTestHeaders shape = {.pe32_plus = pe32_plus,
                                      .directory_count = 4,
                                      .table_offset = 0x1000,
                                      .table_size = 0x200};
    std::vector<uint8_t> image = test::MakePeHeaders(shape, 0x400);
    image[0] = 'X';
    Put16(&image, test::SizeOfOptionalHeaderOffset(shape), 0);
    auto layout = ReadSecurityDirectory(image, PeHeaderChecks::kLayout);
    ASSERT_TRUE(layout) << pe32_plus;
    EXPECT_EQ(test::SecurityEntryOffset(shape), layout->directory_entry_offset);
    EXPECT_EQ(0x1000u, layout->table_offset);
    EXPECT_EQ(0x200u, layout->table_size);
    EXPECT_FALSE(ReadSecurityDirectory(image, PeHeaderChecks::kLoader));
    EXPECT_FALSE(HasDosSignature(image));
  }
}

TEST(PeCertificateTableTest, LayoutChecksStillNeedTheEntryAndTheMagic) {
  const test::PeTestHeaders shape = {.table_offset = 0x1000,
                                    .table_size = 0x200};
  const std::vector<uint8_t> good = test::MakePeHeaders(shape, 0x400);
  const uint32_t entry_end = test::SecurityEntryOffset(shape) + 8;
  EXPECT_TRUE(ReadSecurityDirectory(std::span(good).first(entry_end),
                                    PeHeaderChecks::kLayout));
  EXPECT_FALSE(ReadSecurityDirectory(std::span(good).first(entry_end - 1),
                                     PeHeaderChecks::kLayout));
  std::vector<uint8_t> bad = good;
  Put16(&bad, test::OptionalHeaderOffset(shape), 0x107);
  EXPECT_FALSE(ReadSecurityDirectory(bad, PeHeaderChecks::kLayout));
  bad = good;
  bad[0x40 + 1] = 'X';  // "PX\0\0"
  EXPECT_FALSE(ReadSecurityDirectory(bad, PeHeaderChecks::kLayout));
  bad = good;
  Put32(&bad, 0x3C, 0x80000000u);  // a negative e_lfanew
  EXPECT_FALSE(ReadSecurityDirectory(bad, PeHeaderChecks::kLayout));
}

TEST(PeCertificateTableTest, TableInFileNeedsAnEntryHeaderInsideTheFile) {
  EXPECT_TRUE(IsCertificateTableInFile({0, 0x200, 8}, 0x208));
  EXPECT_FALSE(IsCertificateTableInFile({0, 0x200, 8}, 0x207));
  EXPECT_FALSE(IsCertificateTableInFile({0, 0x200, 7}, 0x208));
  EXPECT_FALSE(IsCertificateTableInFile({0, 0, 8}, 0x208));
  EXPECT_FALSE(
      IsCertificateTableInFile({0, 0xFFFFFFF8u, 0x10}, 0xFFFFFFFFull));
}

}  // namespace
}  // namespace base
