#ifndef CHROME_INSTALLER_NORVEL_UTIL_NETWORK_REQUEST_HEADERS_H_
#define CHROME_INSTALLER_NORVEL_UTIL_NETWORK_REQUEST_HEADERS_H_

#include <windows.h>

#include <string>

namespace installer {

// The headers every request of the installer carries, as one string without
// a trailing line end: Accept and the platform client hints, whose version
// is "major.minor.UBR" (the update build revision, not the build number).
std::wstring BuildRequestHeaders();

// Pure form of the above, for given version numbers.
std::wstring FormatRequestHeaders(DWORD major, DWORD minor, DWORD ubr);

// The update build revision (UBR) of the running Windows, 0 when absent.
DWORD GetUpdateBuildRevision();

}  // namespace installer

#endif  // CHROME_INSTALLER_NORVEL_UTIL_NETWORK_REQUEST_HEADERS_H_
