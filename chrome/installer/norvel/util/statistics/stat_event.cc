#include "chrome/installer/norvel/util/statistics/stat_event.h"

namespace installer {
namespace {

bool IsKept(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
    return true;
  switch (c) {
    case '!':
    case '\'':
    case '(':
    case ')':
    case '.':
    case '_':
    case '~':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string EscapeForStatistics(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (unsigned char c : text) {
    if (IsKept(c)) {
      escaped.push_back(static_cast<char>(c));
    } else {
      escaped.push_back('%');
      escaped.push_back(kHex[c >> 4]);
      escaped.push_back(kHex[c & 0xF]);
    }
  }
  return escaped;
}

}  // namespace installer
