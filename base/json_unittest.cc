#include "base/json.h"

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/matchers.h"

namespace base {
namespace {

std::optional<Json> Parse(std::string_view text) {
  return ParseJson(text);
}

TEST(JsonReaderTest, AcceptsOurExtensions) {
  std::optional<Json> value = Parse(
      "// signature line\r\n"
      "{ /* block\n comment \"with quotes\" */ \"a\": \"\\x41\\xe9\",\n"
      "  \"raw\": \"one\r\ntwo\",  // trailing comment\n"
      "  \"esc\": \"\\\\x41\", \"n\": -12, \"f\": 1.5, \"t\": true,\n"
      "  \"l\": [null, {}, []] }");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ("A\xC3\xA9", (*value)["a"]);  // \xHH is the code point U+00HH
  EXPECT_EQ("one\r\ntwo", (*value)["raw"]);
  EXPECT_EQ("\\x41", (*value)["esc"]);  // an escaped backslash is not \x
  EXPECT_EQ(-12, (*value)["n"]);
  EXPECT_TRUE((*value)["t"].is_boolean());
  EXPECT_EQ(3u, (*value)["l"].size());

  EXPECT_TRUE(Parse("\xEF\xBB\xBF{\"bom\": 1}").has_value());
  EXPECT_TRUE(Parse("\"\xE4\xB8\xAD\"").has_value());
  EXPECT_TRUE(Parse("[1] // no line end after the comment").has_value());
}

TEST(JsonReaderTest, RejectsEverythingElse) {
  for (std::string_view bad : {
           "{\"a\": 1,}",        // trailing comma in an object
           "[1, 2,]",            // trailing comma in a list
           "\"\\v\"",            // \v is not an escape
           "\"a\tb\"",           // raw tab
           "\"a\x01\"",          // raw control character
           "\"\xFF\"",           // invalid UTF-8
           "\"\xC3\"",           // truncated UTF-8
           "\"\xED\xA0\x80\"",   // encoded surrogate
           "\"\\x4\"",           // \x needs two hex digits
           "{\"a\": 1 /* open",  // unterminated comment
           "{'a': 1}",           // single quotes
           "[1] x",              // garbage after the value
           "",                   // nothing
           "tru",
       }) {
    EXPECT_FALSE(Parse(bad).has_value()) << bad;
  }
}

TEST(JsonReaderTest, DepthIsLimited) {
  std::string ok(kMaxJsonDepth, '[');
  ok += std::string(kMaxJsonDepth, ']');
  EXPECT_TRUE(Parse(ok).has_value());
  std::string deep(100000, '[');
  deep += std::string(100000, ']');
  JsonParseError error;
  EXPECT_FALSE(ParseJson(deep, &error).has_value());
  EXPECT_EQ("Line: 1, column: 201, Too much nesting.", error.ToString());
}

TEST(JsonReaderTest, ErrorsNameTheOriginalLineAndColumn) {
  JsonParseError error;
  EXPECT_FALSE(ParseJson("{\n  \"a\": 1,\n  \"b\": x\n}", &error).has_value());
  EXPECT_EQ(3, error.line);
  EXPECT_EQ(8, error.column);
  EXPECT_THAT(error.ToString(), test::FullyMatches("Line: 3, column: 8, .+"));

  // A raw line break inside a string still counts as a line; escapes that
  // were rewritten do not shift columns.
  EXPECT_FALSE(
      ParseJson("{\"s\": \"a\nb\\x41\", \"t\": @}", &error).has_value());
  EXPECT_EQ(2, error.line);
  EXPECT_EQ(14, error.column);  // the "@", counted in original bytes
}

TEST(JsonWriterTest, CompactAndPretty) {
  Json value = {
      {"b", Json::array({true, 2})}, {"a", "x\ny"}, {"c", Json::object()}};
  EXPECT_EQ("{\"a\":\"x\\ny\",\"b\":[true,2],\"c\":{}}", WriteJson(value));
  EXPECT_EQ(
      "{\r\n"
      "   \"a\": \"x\\ny\",\r\n"
      "   \"b\": [\r\n"
      "      true,\r\n"
      "      2\r\n"
      "   ],\r\n"
      "   \"c\": {}\r\n"
      "}\r\n",
      WriteJsonPretty(value));
  // Invalid UTF-8 in a value is replaced rather than aborting the writer.
  EXPECT_EQ("\"\xEF\xBF\xBD\"", WriteJson(Json("\xFF")));
}

TEST(JsonLookupTest, DottedPathsAndTypedViews) {
  std::optional<Json> value = Parse(
      "{\"install\": {\"setup_url\": \"u\", \"n\": 5, \"b\": false},"
      " \"top\": \"t\"}");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ("u", *JsonAsString(FindJsonPath(*value, "install.setup_url")));
  EXPECT_EQ(nullptr, FindJsonPath(*value, "install.setup_url.deeper"));
  EXPECT_EQ(nullptr, FindJsonPath(*value, "missing"));
  EXPECT_EQ(nullptr, JsonAsString(FindJsonPath(*value, "install.n")));
  EXPECT_EQ(5, JsonAsInt(FindJsonPath(*value, "install.n")));
  EXPECT_EQ(false, JsonAsBool(FindJsonPath(*value, "install.b")));
  EXPECT_FALSE(JsonAsBool(FindJsonPath(*value, "top")).has_value());
  EXPECT_FALSE(JsonAsInt(nullptr).has_value());
}

}  // namespace
}  // namespace base
