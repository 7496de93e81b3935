#include "test/support/stat_request.h"

#include <string>

#include "gmock/gmock.h"
#include "gtest/gtest.h"

namespace test {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

constexpr char kPrefix[] =
    "/installstats/send/dtype=stred/pid=457/cid=72992/path=extended_stat";

TEST(StatRequestTest, DecodesOnceInOrder) {
  std::optional<StatRequest> request = DecodeStatRequest(
      std::string(kPrefix) + "/vars=-b=x%20y,-a=%252F,-c=50%,-d=%D0%96/*");
  ASSERT_TRUE(request.has_value());
  EXPECT_EQ("72992", request->counter_id);
  EXPECT_EQ("extended_stat", request->path);
  EXPECT_THAT(request->vars,
              ElementsAre(Pair("b", "x y"), Pair("a", "%2F"), Pair("c", "50%"),
                          Pair("d", "\xD0\x96")));
  EXPECT_TRUE(DecodeStatRequest(std::string(kPrefix) + "/*").has_value());
}

// What a broken sender would send is refused, with the reason.
TEST(StatRequestTest, RefusesMalformedRequests) {
  const char* const kBad[] = {
      "/vars=-a=b",            // no closing "/*"
      "/vars=-a=b?c/*",        // a query inside the path
      "/vars=-a=b c/*",        // a raw space
      "/vars=-a=\xD0\x96/*",   // a raw byte outside ASCII
      "/vars=a=b/*",           // no "-"
      "/vars=-ab/*",           // no "="
      "/vars=-a=b=c/*",        // a second "="
      "/vars=-a=%FC/*",        // not UTF-8 once unescaped
      "/vars=-=b/*",           // no name
      "/other=x/*",            // not a variable list
  };
  for (const char* bad : kBad) {
    std::string error;
    EXPECT_FALSE(DecodeStatRequest(std::string(kPrefix) + bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  EXPECT_FALSE(DecodeStatRequest("/content/x"));
}

}  // namespace
}  // namespace test
