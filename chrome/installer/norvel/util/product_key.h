#ifndef CHROME_INSTALLER_NORVEL_UTIL_PRODUCT_KEY_H_
#define CHROME_INSTALLER_NORVEL_UTIL_PRODUCT_KEY_H_

#include <string>

namespace installer {

// The names the product key and the browser's folder are made of.
inline constexpr wchar_t kCompanyName[] = L"Norvel";
inline constexpr wchar_t kProductName[] = L"NorvelBrowser";

// Size of the process-wide product-key buffer, in UTF-16 units.
inline constexpr size_t kProductKeyBufferSize = 260;

// "Software\Norvel\NorvelBrowser": the key under HKEY_CURRENT_USER that
// holds the installer's values. Built once; the pointer stays valid for the
// life of the process.
const wchar_t* GetProductKey();

// "Norvel\NorvelBrowser": where the browser goes below Program Files.
std::wstring GetBrowserInstallationFolder();

}  // namespace installer

#endif  // CHROME_INSTALLER_NORVEL_UTIL_PRODUCT_KEY_H_
