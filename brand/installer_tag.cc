#include "brand/installer_tag.h"

#include <windows.h>

#include <cstdint>
#include <span>
#include <vector>

#include "base/scoped_handle.h"
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

bool ReadAllBytesFromFile(const std::wstring& path,
                          std::vector<uint8_t>* bytes) {
  base::ScopedFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    PLOG(ERROR) << "Can't open file " << path;
    return false;
  }
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file.get(), &size)) {
    PLOG(ERROR) << "Failed to get length of " << path;
    return false;
  }
  if (static_cast<uint64_t>(size.QuadPart) > kMaxExecutableSize) {
    PLOG_CODE(ERROR, ERROR_FILE_TOO_LARGE)
        << "Failed to read all bytes of " << path;
    return false;
  }
  bytes->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes->size()) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes->data() + done,
                    static_cast<DWORD>(bytes->size() - done), &read, nullptr)) {
      PLOG(ERROR) << "Failed to read all bytes of " << path;
      return false;
    }
    if (read == 0) {
      // The file shrank while it was read.
      PLOG_CODE(ERROR, ERROR_HANDLE_EOF)
          << "Failed to read all bytes of " << path;
      return false;
    }
    done += read;
  }
  return true;
}

}  // namespace

std::string ExtractTagFromFakeCertificate(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  if (!ReadAllBytesFromFile(path, &bytes)) {
    PLOG(ERROR) << "Failed to read file " << path;
    return std::string();
  }
  std::string tag;
  // The parser makes no system calls, so the error code is set here to name
  // the kind of fault instead of repeating a stale one.
  switch (ParseFakeCertificateTag(bytes, &tag)) {
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
