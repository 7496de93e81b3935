#include "chrome/installer/norvel/util/version_number.h"

#include "gmock/gmock.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using ::testing::ElementsAre;

TEST(VersionNumberTest, ParsesAndComparesWithMissingPartsAsZero) {
  EXPECT_THAT(*ParseVersionNumber("6.1.7601.24214"),
              ElementsAre(6, 1, 7601, 24214));
  EXPECT_THAT(*ParseVersionNumber("10"), ElementsAre(10));
  EXPECT_THAT(*ParseVersionNumber("4294967295"), ElementsAre(4294967295u));
  for (const char* bad :
       {"", ".", "6.", ".6", "6..1", "6.1a", " 6", "-1", "4294967296", "6,1"}) {
    EXPECT_FALSE(ParseVersionNumber(bad)) << bad;
  }
  EXPECT_EQ(0, CompareVersionNumbers({6, 1}, {6, 1, 0, 0}));
  EXPECT_EQ(-1, CompareVersionNumbers({6, 1}, {6, 1, 0, 1}));
  EXPECT_EQ(1, CompareVersionNumbers({10}, {6, 3, 9600}));
  EXPECT_EQ(1, CompareVersionNumbers({6, 1, 7601, 2}, {6, 1, 7601, 1}));
  EXPECT_EQ(0, CompareVersionNumbers({}, {0, 0}));
  EXPECT_EQ("6.1.7601.0", VersionNumberToString({6, 1, 7601, 0}));
  EXPECT_EQ("", VersionNumberToString({}));
}

// Components are bounded by value, not by length: leading zeros are only
// digits, and a long run of digits past 32 bits stops early.
TEST(VersionNumberTest, BoundsComponentsByValue) {
  EXPECT_THAT(*ParseVersionNumber("0024.007.0000000000001"),
              ElementsAre(24, 7, 1));
  EXPECT_FALSE(ParseVersionNumber("1.99999999999999999999999999"));
  EXPECT_FALSE(ParseVersionNumber("1.4294967296"));
}

}  // namespace
}  // namespace installer
