#include "test/support/pe_test_image.h"

#include <cstring>

#include "base/pe_image_reader.h"

namespace test {
namespace {

namespace pe = base::pe;

template <typename T>
void PutAt(std::vector<uint8_t>* bytes, size_t offset, const T& value) {
  std::memcpy(bytes->data() + offset, &value, sizeof(value));
}

template <typename Optional>
void PutOptionalHeader(std::vector<uint8_t>* bytes,
                       const PeTestHeaders& shape,
                       uint16_t magic) {
  const size_t nt = shape.nt_headers_offset;
  const size_t optional = nt + offsetof(pe::NtHeaders<Optional>, OptionalHeader);
  PutAt(bytes, nt + offsetof(pe::NtHeaders<Optional>, Signature),
        pe::kNtSignature);
  PutAt(bytes,
        nt + offsetof(pe::NtHeaders<Optional>, FileHeader) +
            offsetof(pe::FileHeader, SizeOfOptionalHeader),
        static_cast<uint16_t>(sizeof(Optional)));
  PutAt(bytes, optional + offsetof(Optional, Magic), magic);
  PutAt(bytes, optional + offsetof(Optional, NumberOfRvaAndSizes),
        shape.directory_count);
  const pe::DataDirectory security = {shape.table_offset, shape.table_size};
  PutAt(bytes,
        optional + offsetof(Optional, DataDirectory) +
            pe::kSecurityDirectory * sizeof(pe::DataDirectory),
        security);
}

}  // namespace

std::vector<uint8_t> MakePeHeaders(const PeTestHeaders& shape, size_t size) {
  std::vector<uint8_t> bytes(size, 0);
  PutAt(&bytes, offsetof(pe::DosHeader, e_magic), pe::kDosSignature);
  PutAt(&bytes, offsetof(pe::DosHeader, e_lfanew),
        static_cast<int32_t>(shape.nt_headers_offset));
  if (shape.pe32_plus)
    PutOptionalHeader<pe::OptionalHeader64>(&bytes, shape, pe::kPe32PlusMagic);
  else
    PutOptionalHeader<pe::OptionalHeader32>(&bytes, shape, pe::kPe32Magic);
  return bytes;
}

uint32_t OptionalHeaderOffset(const PeTestHeaders& shape) {
  return shape.nt_headers_offset + offsetof(pe::NtHeaders32, OptionalHeader);
}

uint32_t SizeOfOptionalHeaderOffset(const PeTestHeaders& shape) {
  return shape.nt_headers_offset + offsetof(pe::NtHeaders32, FileHeader) +
         offsetof(pe::FileHeader, SizeOfOptionalHeader);
}

uint32_t SecurityEntryOffset(const PeTestHeaders& shape) {
  const size_t directories =
      shape.pe32_plus ? offsetof(pe::OptionalHeader64, DataDirectory)
                     : offsetof(pe::OptionalHeader32, DataDirectory);
  return static_cast<uint32_t>(OptionalHeaderOffset(shape) + directories +
                               pe::kSecurityDirectory *
                                   sizeof(pe::DataDirectory));
}

}  // namespace test
