#include "chrome/installer/norvel/util/network/url_escape.h"

#include <string>

#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(UrlEscapeTest, EscapesSegmentDelimiters) {
  EXPECT_EQ(L"", EscapeUrlSegment(L""));
  EXPECT_EQ(L"plain-text_1.2", EscapeUrlSegment(L"plain-text_1.2"));
  // Every character that would end a path segment or start a query or
  // fragment is escaped, as is the space.
  EXPECT_EQ(L"a%20b%2Fc%3Fd%23e", EscapeUrlSegment(L"a b/c?d#e"));
}

TEST(UrlEscapeTest, TooLongForAUrlGivesEmpty) {
  // 1,000 spaces escape to 3,000 units, beyond the URL limit.
  EXPECT_EQ(L"", EscapeUrlSegment(std::wstring(1000, L' ')));
  // A text that fits after escaping survives whole.
  const std::wstring fits(2000, L'a');
  EXPECT_EQ(fits, EscapeUrlSegment(fits));
}

}  // namespace
}  // namespace installer
