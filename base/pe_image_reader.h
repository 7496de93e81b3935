#ifndef BASE_PE_IMAGE_READER_H_
#define BASE_PE_IMAGE_READER_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>

// Finds the Authenticode certificate table of a PE32 or PE32+ image from the
// bytes of its headers, in stages: DOS header, PE signature and file header,
// optional header, data directory. Each stage reads a typed structure at
// its offsetof position after checking that it lies within the bytes given.
// Pure: no OS calls, so it also builds natively (fuzzing).
namespace base {

static_assert(std::endian::native == std::endian::little,
              "PE headers are little-endian and are read as they lie");

// The on-disk layouts of winnt.h (IMAGE_DOS_HEADER, IMAGE_FILE_HEADER,
// IMAGE_OPTIONAL_HEADER32/64, IMAGE_DATA_DIRECTORY, WIN_CERTIFICATE), with
// their field names, declared here so that the reader needs no windows.h.
namespace pe {

inline constexpr uint16_t kDosSignature = 0x5A4D;     // "MZ"
inline constexpr uint32_t kNtSignature = 0x00004550;  // "PE\0\0"
inline constexpr uint16_t kPe32Magic = 0x10B;
inline constexpr uint16_t kPe32PlusMagic = 0x20B;
inline constexpr uint32_t kNumberOfDirectoryEntries = 16;
// IMAGE_DIRECTORY_ENTRY_SECURITY; its VirtualAddress is a file offset.
inline constexpr uint32_t kSecurityDirectory = 4;

struct DosHeader {
  uint16_t e_magic;
  uint16_t e_cblp;
  uint16_t e_cp;
  uint16_t e_crlc;
  uint16_t e_cparhdr;
  uint16_t e_minalloc;
  uint16_t e_maxalloc;
  uint16_t e_ss;
  uint16_t e_sp;
  uint16_t e_csum;
  uint16_t e_ip;
  uint16_t e_cs;
  uint16_t e_lfarlc;
  uint16_t e_ovno;
  uint16_t e_res[4];
  uint16_t e_oemid;
  uint16_t e_oeminfo;
  uint16_t e_res2[10];
  int32_t e_lfanew;
};

struct FileHeader {
  uint16_t Machine;
  uint16_t NumberOfSections;
  uint32_t TimeDateStamp;
  uint32_t PointerToSymbolTable;
  uint32_t NumberOfSymbols;
  uint16_t SizeOfOptionalHeader;
  uint16_t Characteristics;
};

struct DataDirectory {
  uint32_t VirtualAddress;
  uint32_t Size;
};

// Where PE32 keeps BaseOfData and a 32-bit ImageBase, PE32+ keeps a 64-bit
// ImageBase; the rest differs only in the width of the stack and heap sizes.
struct ImageBases32 {
  uint32_t BaseOfData;
  uint32_t ImageBase;
};
struct ImageBases64 {
  uint64_t ImageBase;
};

// IMAGE_OPTIONAL_HEADER32/64.
template <typename Word, typename ImageBases>
struct OptionalHeader {
  uint16_t Magic;
  uint8_t MajorLinkerVersion;
  uint8_t MinorLinkerVersion;
  uint32_t SizeOfCode;
  uint32_t SizeOfInitializedData;
  uint32_t SizeOfUninitializedData;
  uint32_t AddressOfEntryPoint;
  uint32_t BaseOfCode;
  ImageBases Bases;
  uint32_t SectionAlignment;
  uint32_t FileAlignment;
  uint16_t MajorOperatingSystemVersion;
  uint16_t MinorOperatingSystemVersion;
  uint16_t MajorImageVersion;
  uint16_t MinorImageVersion;
  uint16_t MajorSubsystemVersion;
  uint16_t MinorSubsystemVersion;
  uint32_t Win32VersionValue;
  uint32_t SizeOfImage;
  uint32_t SizeOfHeaders;
  uint32_t CheckSum;
  uint16_t Subsystem;
  uint16_t DllCharacteristics;
  Word SizeOfStackReserve;
  Word SizeOfStackCommit;
  Word SizeOfHeapReserve;
  Word SizeOfHeapCommit;
  uint32_t LoaderFlags;
  uint32_t NumberOfRvaAndSizes;
  pe::DataDirectory DataDirectory[kNumberOfDirectoryEntries];
};
using OptionalHeader32 = OptionalHeader<uint32_t, ImageBases32>;
using OptionalHeader64 = OptionalHeader<uint64_t, ImageBases64>;

// IMAGE_NT_HEADERS32/64: the signature, then the file header, then the
// optional header (which starts with its magic in both kinds).
template <typename Optional>
struct NtHeaders {
  uint32_t Signature;
  pe::FileHeader FileHeader;
  Optional OptionalHeader;
};
using NtHeaders32 = NtHeaders<OptionalHeader32>;
using NtHeaders64 = NtHeaders<OptionalHeader64>;

// The header of each entry of the certificate table.
struct WinCertificateHeader {
  uint32_t dwLength;
  uint16_t wRevision;
  uint16_t wCertificateType;
};
inline constexpr uint16_t kWinCertRevision2 = 0x0200;
inline constexpr uint16_t kWinCertTypePkcsSignedData = 0x0002;

static_assert(sizeof(DosHeader) == 64 && offsetof(DosHeader, e_lfanew) == 0x3C);
static_assert(sizeof(FileHeader) == 20);
static_assert(sizeof(OptionalHeader32) == 224 &&
              offsetof(OptionalHeader32, NumberOfRvaAndSizes) == 92);
static_assert(sizeof(OptionalHeader64) == 240 &&
              offsetof(OptionalHeader64, NumberOfRvaAndSizes) == 108);
static_assert(offsetof(NtHeaders32, OptionalHeader) == 24 &&
              offsetof(NtHeaders64, OptionalHeader) == 24);
static_assert(sizeof(WinCertificateHeader) == 8);

}  // namespace pe

// Copies the T at `offset` out of `bytes` (no alignment needed); false when
// it does not lie wholly inside them.
template <typename T>
bool ReadStructAt(std::span<const uint8_t> bytes, uint64_t offset, T* out) {
  static_assert(std::is_trivially_copyable_v<T>);
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T))
    return false;
  std::memcpy(out, bytes.data() + offset, sizeof(T));
  return true;
}

// Where the security directory entry lies and what it says.
struct CertificateTableLocation {
  uint32_t directory_entry_offset = 0;  // file offset of the entry itself
  uint32_t table_offset = 0;            // file offset of the table
  uint32_t table_size = 0;
};

enum class PeHeaderChecks {
  // Only what finding the entry needs: e_lfanew, the PE signature there, a
  // PE32 or PE32+ magic and the entry itself within the bytes given. The
  // installer tag readers go by these alone.
  kLayout,
  // Also what a loader insists on: the "MZ" signature, and an optional
  // header whose size and directory count both include the entry.
  kLoader,
};

// True when `image` starts with the "MZ" signature.
bool HasDosSignature(std::span<const uint8_t> image);

// The security directory entry of the image whose first bytes are
// `headers`; nullopt when they fail `checks`. The entry may be empty (an
// unsigned image) or point anywhere.
std::optional<CertificateTableLocation> ReadSecurityDirectory(
    std::span<const uint8_t> headers,
    PeHeaderChecks checks);

// True when the table is present, holds at least one WIN_CERTIFICATE header
// and lies inside a file of `file_size` bytes.
bool IsCertificateTableInFile(const CertificateTableLocation& location,
                              uint64_t file_size);

// The certificate table of a file of `file_size` bytes whose first bytes are
// `headers` (enough for the DOS, PE and optional headers), checked as a
// loader would and placed after the headers' entry, so that the entry and
// the table can be rewritten independently. Nullopt otherwise.
std::optional<CertificateTableLocation> LocateCertificateTable(
    std::span<const uint8_t> headers,
    uint64_t file_size);

}  // namespace base

#endif  // BASE_PE_IMAGE_READER_H_
