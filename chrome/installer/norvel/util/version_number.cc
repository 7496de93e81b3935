#include "chrome/installer/norvel/util/version_number.h"

#include <algorithm>

namespace installer {

std::optional<VersionNumber> ParseVersionNumber(std::string_view text) {
  VersionNumber version;
  size_t start = 0;
  while (true) {
    const size_t end = text.find('.', start);
    const std::string_view part = text.substr(
        start, end == std::string_view::npos ? std::string_view::npos
                                             : end - start);
    if (part.empty())
      return std::nullopt;
    uint64_t value = 0;
    for (char c : part) {
      if (c < '0' || c > '9')
        return std::nullopt;
      value = value * 10 + static_cast<uint64_t>(c - '0');
      // Checked digit by digit, so the sum never overflows.
      if (value > UINT32_MAX)
        return std::nullopt;
    }
    version.push_back(static_cast<uint32_t>(value));
    if (end == std::string_view::npos)
      return version;
    start = end + 1;
  }
}

int CompareVersionNumbers(const VersionNumber& a, const VersionNumber& b) {
  const size_t count = std::max(a.size(), b.size());
  for (size_t i = 0; i < count; ++i) {
    const uint32_t left = i < a.size() ? a[i] : 0;
    const uint32_t right = i < b.size() ? b[i] : 0;
    if (left != right)
      return left < right ? -1 : 1;
  }
  return 0;
}

std::string VersionNumberToString(const VersionNumber& version) {
  std::string text;
  for (size_t i = 0; i < version.size(); ++i) {
    if (i)
      text.push_back('.');
    text += std::to_string(version[i]);
  }
  return text;
}

}  // namespace installer
