#include "base/strings.h"

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(StringsTest, Utf8RoundTripsIncludingSurrogatePairs) {
  const std::wstring text = L"a\u00e9\u4e2d\U0001F600z";
  std::string utf8 = WideToUTF8(text);
  EXPECT_EQ("a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z", utf8);
  EXPECT_EQ(text, UTF8ToWide(utf8));
}

TEST(StringsTest, InvalidInputBecomesReplacementCharacters) {
  EXPECT_EQ(
      "\xEF\xBF\xBD"
      "a",
      WideToUTF8(std::wstring(L"\xD800"
                              L"a")));
  EXPECT_EQ(L"\uFFFDa", UTF8ToWide("\xC3"
                                   "a"));            // truncated sequence
  EXPECT_EQ(L"\uFFFD", UTF8ToWide("\xC0\x80"));      // overlong
  EXPECT_EQ(L"\uFFFD", UTF8ToWide("\xED\xA0\x80"));  // encoded surrogate
  EXPECT_EQ(L"\uFFFDx", UTF8ToWide("\xFFx"));
}

TEST(StringsTest, ByteWiseNarrowingAndTrimming) {
  EXPECT_EQ("A\xE9", NarrowLowBytes(L"A\u01E9"));
  EXPECT_EQ(L"\u00ff", WidenBytes("\xff"));
  EXPECT_EQ("abc-1", ToLowerASCII("AbC-1"));
  EXPECT_EQ(L"x y", TrimWhitespace(L" \t x y\r\n"));
}

}  // namespace
}  // namespace base
