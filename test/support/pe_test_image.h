#ifndef TEST_SUPPORT_PE_TEST_IMAGE_H_
#define TEST_SUPPORT_PE_TEST_IMAGE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

// Headers of small PE images for the tests and fuzzers of the PE and tag
// readers, written through the layouts of base/pe_image_reader.h. Pure: no
// OS calls, so the native fuzzers use it too.
namespace test {

struct PeTestHeaders {
  bool pe32_plus = false;
  uint32_t nt_headers_offset = 0x40;  // e_lfanew
  uint32_t directory_count = 16;      // NumberOfRvaAndSizes
  // The security directory entry.
  uint32_t table_offset = 0;
  uint32_t table_size = 0;
};

// "MZ", e_lfanew, the PE signature, a file header whose
// SizeOfOptionalHeader covers the whole optional header, the optional
// header's magic, directory count and security entry; zeros elsewhere, up
// to `size` bytes.
std::vector<uint8_t> MakePeHeaders(const PeTestHeaders& shape, size_t size);

// File offsets of fields of the headers that `shape` describes.
uint32_t SecurityEntryOffset(const PeTestHeaders& shape);
uint32_t OptionalHeaderOffset(const PeTestHeaders& shape);
uint32_t SizeOfOptionalHeaderOffset(const PeTestHeaders& shape);

}  // namespace test

#endif  // TEST_SUPPORT_PE_TEST_IMAGE_H_
