#include "brand/installer_tag.h"

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

#include "base/file_util.h"
#include "brand/installer_tag_parser.h"
#include "brand/tagged_file_mapping.h"
#include "logging/file_logger.h"

namespace install_util {

namespace {

// Far above any installer; keeps a stray path from exhausting the address
// space of a 32-bit process.
constexpr uint64_t kMaxExecutableSize = 256u * 1024 * 1024;

// Long paths are allowed; longer than this GetModuleFileNameW cannot report.
constexpr DWORD kMaxModulePath = 32768;

bool ReadAllBytesFromFile(const std::wstring& path, std::string* bytes) {
  base::FileReadResult result =
      base::ReadFileContents(path, kMaxExecutableSize);
  switch (result.failed_step) {
    case base::FileReadStep::kNone:
      *bytes = std::move(result.bytes);
      return true;
    case base::FileReadStep::kOpen:
      PLOG_CODE(ERROR, result.error) << "Can't open file " << path;
      break;
    case base::FileReadStep::kSize:
      PLOG_CODE(ERROR, result.error) << "Failed to get length of " << path;
      break;
    case base::FileReadStep::kTooLarge:
    case base::FileReadStep::kRead:
      PLOG_CODE(ERROR, result.error) << "Failed to read all bytes of " << path;
      break;
  }
  // The caller's own line names the same fault.
  ::SetLastError(result.error);
  return false;
}

}  // namespace

std::string ExtractTagFromFakeCertificate(const std::wstring& path) {
  std::string bytes;
  if (!ReadAllBytesFromFile(path, &bytes)) {
    PLOG(ERROR) << "Failed to read file " << path;
    return std::string();
  }
  std::string tag;
  // The parser makes no system calls, so the error code is set here to name
  // the kind of fault instead of repeating a stale one.
  const std::span<const uint8_t> image(
      reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  switch (ParseFakeCertificateTag(image, &tag)) {
    case CertificateTagStatus::kOk:
      return tag;
    case CertificateTagStatus::kNoCertificateTable:
      PLOG_CODE(ERROR, ERROR_INVALID_DATA)
          << "Failed to find certificate table in " << path;
      break;
    case CertificateTagStatus::kInvalidAsn1:
      PLOG_CODE(ERROR, ERROR_INVALID_DATA)
          << "Invalid ASN1 format of certificate table in " << path;
      break;
  }
  return std::string();
}

std::string ReadTagFromExecutable(const std::wstring& path) {
  std::string tag = ExtractTagFromFakeCertificate(path);
  if (!tag.empty())
    return tag;
  TaggedFileMapping mapping;
  size_t size = 0;
  if (!mapping.Open(path) || !mapping.ReadTag(nullptr, &size))
    return std::string();
  tag.resize(size);
  if (!mapping.ReadTag(tag.data(), &size))
    return std::string();
  // ReadTag wrote a terminating zero.
  tag.pop_back();
  return tag;
}

std::wstring GetCurrentExecutablePath() {
  std::wstring path(kMaxModulePath, L'\0');
  ::SetLastError(ERROR_SUCCESS);
  const DWORD length =
      ::GetModuleFileNameW(nullptr, path.data(), kMaxModulePath);
  // A truncated path (length == buffer size; XP does not set the error) is
  // no path at all.
  if (length == 0 || length >= kMaxModulePath ||
      ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    return std::wstring();
  }
  path.resize(length);
  return path;
}

std::string ReadCurrentExecutableTag() {
  const std::wstring path = GetCurrentExecutablePath();
  if (path.empty())
    return std::string();
  return ReadTagFromExecutable(path);
}

}  // namespace install_util
