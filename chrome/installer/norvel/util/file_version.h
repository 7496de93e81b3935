#ifndef CHROME_INSTALLER_NORVEL_UTIL_FILE_VERSION_H_
#define CHROME_INSTALLER_NORVEL_UTIL_FILE_VERSION_H_

#include <cstdint>
#include <string>

namespace installer {

// The fixed part of a file's version resource (VS_FIXEDFILEINFO), each
// 64-bit value with its most significant 32 bits in the high half.
struct FixedFileInfo {
  uint64_t file_version = 0;
  uint64_t product_version = 0;
  uint64_t file_date = 0;
};

enum class FixedFileInfoStatus {
  kOk,
  kNoVersionResource,  // GetFileVersionInfoSizeW found none
  kUnreadable,         // GetFileVersionInfoW failed
  kNoFixedInfo,        // the root block is missing or short
};

// Reads `path`'s fixed file information without logging: each caller says
// in its own words what a missing resource means to it.
FixedFileInfoStatus ReadFixedFileInfo(const std::wstring& path,
                                      FixedFileInfo* info);

// The product version from the file's version resource: the most
// significant 32 bits in the high half, the least significant in the low
// half. False when the file has no readable version resource.
bool GetFileVersion(const std::wstring& path, uint64_t* version);

// "a.b.c.d" from the four 16-bit parts of the product version; "0.0.0.0"
// when there is none.
std::string GetFileVersionString(const std::wstring& path);

// The dotted form of a 64-bit version.
std::string FormatFileVersion(uint64_t version);

}  // namespace installer

#endif  // CHROME_INSTALLER_NORVEL_UTIL_FILE_VERSION_H_
