#include "chrome/installer/norvel/util/network/request_headers.h"

#include "base/strings.h"
#include "base/system_facts.h"

namespace installer {

std::wstring FormatRequestHeaders(DWORD major, DWORD minor, DWORD ubr) {
  return L"Accept: */*\r\n"
         L"Sec-CH-UA-Platform: \"Windows\"\r\n"
         L"Sec-CH-UA-Platform-Version: \"" +
         base::NumberToWide(major) + L"." + base::NumberToWide(minor) + L"." +
         base::NumberToWide(ubr) + L"\"";
}

DWORD GetUpdateBuildRevision() {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (::RegGetValueW(HKEY_LOCAL_MACHINE,
                     L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"UBR",
                     RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS) {
    return 0;
  }
  return value;
}

std::wstring BuildRequestHeaders() {
  base::SystemFacts::Version version;
  if (auto v = base::SystemFacts::Current().GetWindowsVersion())
    version = *v;
  return FormatRequestHeaders(version.major, version.minor,
                              GetUpdateBuildRevision());
}

}  // namespace installer
