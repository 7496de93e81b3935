#include "brand/test_id.h"

#include "base/strings.h"

std::string TestId::ToString() const {
  return value.empty() ? id : id + "/" + value;
}

// static
std::optional<TestId> TestId::Parse(std::string_view text) {
  std::vector<std::string_view> pieces;
  while (true) {
    size_t slash = text.find('/');
    std::string_view piece = base::TrimWhitespaceASCII(text.substr(0, slash));
    if (!piece.empty())
      pieces.push_back(piece);
    if (slash == std::string_view::npos)
      break;
    text.remove_prefix(slash + 1);
  }
  if (pieces.size() == 1)
    return TestId{std::string(pieces[0]), std::string()};
  if (pieces.size() == 2)
    return TestId{std::string(pieces[0]), std::string(pieces[1])};
  return std::nullopt;
}

std::string JoinTestIds(const TestIds& ids, std::string_view separator) {
  std::string out;
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i)
      out += separator;
    out += ids[i].ToString();
  }
  return out;
}
