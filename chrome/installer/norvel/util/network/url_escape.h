#ifndef CHROME_INSTALLER_NORVEL_UTIL_NETWORK_URL_ESCAPE_H_
#define CHROME_INSTALLER_NORVEL_UTIL_NETWORK_URL_ESCAPE_H_

#include <string>

namespace installer {

// Escapes `text` for use as one URL path segment or query value. ASCII
// characters go through the shell's UrlEscapeW with URL_ESCAPE_SEGMENT_ONLY
// (which leaves % * + ; : @ alone); every character outside ASCII becomes
// the percent-encoded bytes of its UTF-8 form, which the shell would leave
// raw or escape as a single Latin-1 byte. Empty when the input is empty,
// when the escaped text would not fit the shell's 2,084-unit URL limit, or
// when escaping fails.
std::wstring EscapeUrlSegment(const std::wstring& text);

}  // namespace installer

#endif  // CHROME_INSTALLER_NORVEL_UTIL_NETWORK_URL_ESCAPE_H_
