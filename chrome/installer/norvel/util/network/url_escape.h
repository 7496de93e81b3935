#ifndef CHROME_INSTALLER_NORVEL_UTIL_NETWORK_URL_ESCAPE_H_
#define CHROME_INSTALLER_NORVEL_UTIL_NETWORK_URL_ESCAPE_H_

#include <string>

namespace installer {

// Escapes `text` for use as one URL path segment or query value (the shell's
// UrlEscapeW with URL_ESCAPE_SEGMENT_ONLY). Empty when the input is empty,
// when the escaped text would not fit the shell's 2,084-unit URL limit, or
// when escaping fails.
std::wstring EscapeUrlSegment(const std::wstring& text);

}  // namespace installer

#endif  // CHROME_INSTALLER_NORVEL_UTIL_NETWORK_URL_ESCAPE_H_
