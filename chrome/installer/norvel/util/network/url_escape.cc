#include "chrome/installer/norvel/util/network/url_escape.h"

#include <windows.h>

#include <shlwapi.h>

#include <cwchar>

#include "base/strings.h"
#include "logging/file_logger.h"

namespace installer {
namespace {

// INTERNET_MAX_URL_LENGTH: the longest URL the shell and WinINet accept.
constexpr DWORD kMaxUrlLength = 2084;

// Appends the shell's escaping of the ASCII run `run`. False on failure.
bool AppendAsciiRun(const std::wstring& run, std::wstring* out) {
  wchar_t buffer[kMaxUrlLength];
  DWORD length = kMaxUrlLength;
  if (FAILED(::UrlEscapeW(run.c_str(), buffer, &length,
                          URL_ESCAPE_SEGMENT_ONLY))) {
    return false;
  }
  out->append(buffer, ::wcsnlen(buffer, kMaxUrlLength));
  return true;
}

// Appends "%XX" for each UTF-8 byte of the non-ASCII run `run`.
void AppendUtf8Escaped(const std::wstring& run, std::wstring* out) {
  static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
  for (unsigned char byte : base::WideToUTF8(run)) {
    out->push_back(L'%');
    out->push_back(kHex[byte >> 4]);
    out->push_back(kHex[byte & 0xF]);
  }
}

}  // namespace

std::wstring EscapeUrlSegment(const std::wstring& text) {
  if (text.empty())
    return std::wstring();
  std::wstring escaped;
  size_t start = 0;
  while (start < text.size()) {
    const bool ascii = text[start] < 0x80;
    size_t end = start;
    while (end < text.size() && (text[end] < 0x80) == ascii)
      ++end;
    const std::wstring run = text.substr(start, end - start);
    if (ascii) {
      if (!AppendAsciiRun(run, &escaped)) {
        LOG(INFO) << "Failed to escape URL segment: " << text;
        return std::wstring();
      }
    } else {
      AppendUtf8Escaped(run, &escaped);
    }
    if (escaped.size() >= kMaxUrlLength) {
      LOG(INFO) << "Failed to escape URL segment: " << text;
      return std::wstring();
    }
    start = end;
  }
  return escaped;
}

}  // namespace installer
