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

// The shell would turn U+00FC into the Latin-1 "%FC" and leave U+0416 raw
// (sent as "?"); every character outside ASCII goes out as its UTF-8 bytes,
// while ASCII keeps the shell's escaping, "%" and ":" included.
TEST(UrlEscapeTest, OutsideAsciiAsUtf8Bytes) {
  EXPECT_EQ(L"M%C3%BCnchen", EscapeUrlSegment(L"M\u00fcnchen"));
  EXPECT_EQ(L"%D0%96%D1%83%D0%BA", EscapeUrlSegment(L"\u0416\u0443\u043a"));
  EXPECT_EQ(L"%E4%B8%AD%E6%96%87%20a%2Fb", EscapeUrlSegment(L"\u4e2d\u6587 a/b"));
  // A character beyond the basic plane: its surrogate pair as one.
  EXPECT_EQ(L"%F0%9F%98%80", EscapeUrlSegment(L"\U0001F600"));
  EXPECT_EQ(L"50%:*+;@", EscapeUrlSegment(L"50%:*+;@"));
  // The limit counts the escaped form: 700 Cyrillic letters need 4,200.
  EXPECT_EQ(L"", EscapeUrlSegment(std::wstring(700, L'\u0416')));
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
