#include "chrome/installer/norvel/util/network/url_escape.h"

#include <windows.h>

#include <shlwapi.h>

#include <cwchar>

#include "logging/file_logger.h"

namespace installer {
namespace {

// INTERNET_MAX_URL_LENGTH: the longest URL the shell and WinINet accept.
constexpr DWORD kMaxUrlLength = 2084;

}  // namespace

std::wstring EscapeUrlSegment(const std::wstring& text) {
  if (text.empty())
    return std::wstring();
  wchar_t buffer[kMaxUrlLength];
  DWORD length = kMaxUrlLength;
  if (FAILED(::UrlEscapeW(text.c_str(), buffer, &length,
                          URL_ESCAPE_SEGMENT_ONLY))) {
    LOG(INFO) << "Failed to escape URL segment: " << text;
    return std::wstring();
  }
  return std::wstring(buffer, ::wcsnlen(buffer, kMaxUrlLength));
}

}  // namespace installer
