#ifndef CHROME_INSTALLER_NORVEL_UTIL_VERSION_NUMBER_H_
#define CHROME_INSTALLER_NORVEL_UTIL_VERSION_NUMBER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace installer {

// Dotted version numbers ("6.1.7601.24214").
using VersionNumber = std::vector<uint32_t>;

// One or more components separated by single dots, each of decimal digits
// only and fitting in 32 bits; nullopt otherwise.
std::optional<VersionNumber> ParseVersionNumber(std::string_view text);
// Component by component; missing trailing components count as 0.
int CompareVersionNumbers(const VersionNumber& a, const VersionNumber& b);
std::string VersionNumberToString(const VersionNumber& version);

}  // namespace installer

#endif  // CHROME_INSTALLER_NORVEL_UTIL_VERSION_NUMBER_H_
