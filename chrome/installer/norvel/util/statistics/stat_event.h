#ifndef CHROME_INSTALLER_NORVEL_UTIL_STATISTICS_STAT_EVENT_H_
#define CHROME_INSTALLER_NORVEL_UTIL_STATISTICS_STAT_EVENT_H_

#include <map>
#include <string>
#include <string_view>

namespace installer {

// One statistics event: narrow keys to wide values, ordered by key. Numbers
// are written in decimal.
using StatEvent = std::map<std::string, std::wstring>;

// Keeps ASCII letters, digits and ! ' ( ) . _ ~ of the UTF-8 text `text`;
// every other byte (the "%" included) becomes "%" and two upper-case
// hexadecimal digits.
std::string EscapeForStatistics(std::string_view text);

}  // namespace installer

#endif  // CHROME_INSTALLER_NORVEL_UTIL_STATISTICS_STAT_EVENT_H_
