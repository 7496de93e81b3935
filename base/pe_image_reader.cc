#include "base/pe_image_reader.h"

namespace base {
namespace {

// Offsets are 64-bit sums of 32-bit file values and small structure
// offsets, so they cannot overflow; ReadStructAt bounds every read.

// Stage 1: the DOS header names where the NT headers start.
std::optional<uint64_t> ReadNtHeadersOffset(std::span<const uint8_t> image,
                                            PeHeaderChecks checks) {
  pe::DosHeader dos;
  if (!ReadStructAt(image, 0, &dos))
    return std::nullopt;
  if (checks == PeHeaderChecks::kLoader && dos.e_magic != pe::kDosSignature)
    return std::nullopt;
  // e_lfanew is a LONG; a negative one points nowhere.
  if (dos.e_lfanew < 0)
    return std::nullopt;
  return static_cast<uint64_t>(dos.e_lfanew);
}

// Stage 2: the PE signature, then the file header.
std::optional<pe::FileHeader> ReadFileHeader(std::span<const uint8_t> image,
                                             uint64_t nt_headers) {
  uint32_t signature = 0;
  pe::FileHeader file_header;
  if (!ReadStructAt(image, nt_headers + offsetof(pe::NtHeaders32, Signature),
                    &signature) ||
      signature != pe::kNtSignature ||
      !ReadStructAt(image, nt_headers + offsetof(pe::NtHeaders32, FileHeader),
                    &file_header)) {
    return std::nullopt;
  }
  return file_header;
}

// Where, inside the optional header, the fields that lead to a data
// directory entry lie; the two kinds differ from ImageBase on.
struct OptionalHeaderLayout {
  uint64_t number_of_rva_and_sizes;
  uint64_t data_directory;
};

template <typename OptionalHeader>
constexpr OptionalHeaderLayout LayoutOf() {
  return {offsetof(OptionalHeader, NumberOfRvaAndSizes),
          offsetof(OptionalHeader, DataDirectory)};
}

// Stage 3: the optional header's magic tells PE32 from PE32+.
std::optional<OptionalHeaderLayout> ReadOptionalHeaderLayout(
    std::span<const uint8_t> image,
    uint64_t optional_header) {
  uint16_t magic = 0;
  if (!ReadStructAt(image, optional_header + offsetof(pe::OptionalHeader32, Magic),
                    &magic)) {
    return std::nullopt;
  }
  switch (magic) {
    case pe::kPe32Magic:
      return LayoutOf<pe::OptionalHeader32>();
    case pe::kPe32PlusMagic:
      return LayoutOf<pe::OptionalHeader64>();
    default:
      return std::nullopt;
  }
}

// Stage 4: one entry of the data directory. With loader checks the optional
// header must declare the entry (directory count) and hold it (its size).
std::optional<CertificateTableLocation> ReadDirectoryEntry(
    std::span<const uint8_t> image,
    uint64_t optional_header,
    uint16_t optional_header_size,
    const OptionalHeaderLayout& layout,
    uint32_t index,
    PeHeaderChecks checks) {
  const uint64_t entry_in_optional =
      layout.data_directory + uint64_t{index} * sizeof(pe::DataDirectory);
  const uint64_t entry = optional_header + entry_in_optional;
  if (checks == PeHeaderChecks::kLoader) {
    uint32_t count = 0;
    if (!ReadStructAt(image, optional_header + layout.number_of_rva_and_sizes,
                      &count) ||
        count <= index ||
        entry_in_optional + sizeof(pe::DataDirectory) > optional_header_size) {
      return std::nullopt;
    }
  }
  pe::DataDirectory directory;
  if (!ReadStructAt(image, entry, &directory))
    return std::nullopt;
  CertificateTableLocation location;
  // e_lfanew is below 2^31, so the entry's offset fits in 32 bits.
  location.directory_entry_offset = static_cast<uint32_t>(entry);
  location.table_offset = directory.VirtualAddress;
  location.table_size = directory.Size;
  return location;
}

}  // namespace

bool HasDosSignature(std::span<const uint8_t> image) {
  uint16_t magic = 0;
  return ReadStructAt(image, offsetof(pe::DosHeader, e_magic), &magic) &&
         magic == pe::kDosSignature;
}

std::optional<CertificateTableLocation> ReadSecurityDirectory(
    std::span<const uint8_t> headers,
    PeHeaderChecks checks) {
  const std::optional<uint64_t> nt_headers =
      ReadNtHeadersOffset(headers, checks);
  if (!nt_headers)
    return std::nullopt;
  const std::optional<pe::FileHeader> file_header =
      ReadFileHeader(headers, *nt_headers);
  if (!file_header)
    return std::nullopt;
  const uint64_t optional_header =
      *nt_headers + offsetof(pe::NtHeaders32, OptionalHeader);
  const std::optional<OptionalHeaderLayout> layout =
      ReadOptionalHeaderLayout(headers, optional_header);
  if (!layout)
    return std::nullopt;
  return ReadDirectoryEntry(headers, optional_header,
                            file_header->SizeOfOptionalHeader, *layout,
                            pe::kSecurityDirectory, checks);
}

bool IsCertificateTableInFile(const CertificateTableLocation& location,
                              uint64_t file_size) {
  // An unsigned image has an empty entry; offset 0 would otherwise make a
  // reader take the DOS header for a signature.
  return location.table_offset != 0 &&
         location.table_size >= sizeof(pe::WinCertificateHeader) &&
         uint64_t{location.table_offset} + location.table_size <= file_size;
}

std::optional<CertificateTableLocation> LocateCertificateTable(
    std::span<const uint8_t> headers,
    uint64_t file_size) {
  std::optional<CertificateTableLocation> location =
      ReadSecurityDirectory(headers, PeHeaderChecks::kLoader);
  if (!location || !IsCertificateTableInFile(*location, file_size) ||
      location->table_offset <
          uint64_t{location->directory_entry_offset} +
              sizeof(pe::DataDirectory)) {
    return std::nullopt;
  }
  return location;
}

}  // namespace base
