#include "base/windows_version.h"

#include "base/system_facts.h"
#include "gtest/gtest.h"

namespace base {
namespace {

TEST(WindowsVersionTest, Classes) {
  EXPECT_EQ(kWinPreXP, WindowsVersionClassFor(4, 0));
  EXPECT_EQ(kWinPreXP, WindowsVersionClassFor(5, 0));
  EXPECT_EQ(kWinXP, WindowsVersionClassFor(5, 1));
  EXPECT_EQ(kWinServer2003, WindowsVersionClassFor(5, 2));
  EXPECT_EQ(kWinVista, WindowsVersionClassFor(6, 0));
  EXPECT_EQ(kWin7, WindowsVersionClassFor(6, 1));
  EXPECT_EQ(kWin8, WindowsVersionClassFor(6, 2));
  EXPECT_EQ(kWin8_1, WindowsVersionClassFor(6, 3));
  EXPECT_EQ(kWin8_1, WindowsVersionClassFor(6, 4));
  EXPECT_EQ(kWin10, WindowsVersionClassFor(10, 0));
}

class FixedVersion : public SystemFacts {
 public:
  std::optional<Version> GetWindowsVersion() const override {
    return Version{6, 1, 7601};
  }
};

TEST(WindowsVersionTest, PrefixReportsWindows10AndSeamOverridesIt) {
  // The test binary carries no compatibility manifest, so ask the facts with
  // the same call the product makes and only check consistency here.
  ResetWindowsVersionClassForTesting();
  auto real = SystemFacts::Current().GetWindowsVersion();
  ASSERT_TRUE(real.has_value());
  EXPECT_EQ(WindowsVersionClassFor(real->major, real->minor),
            GetWindowsVersionClass());

  FixedVersion facts;
  ScopedSystemFactsForTesting scoped(&facts);
  ResetWindowsVersionClassForTesting();
  EXPECT_EQ(kWin7, GetWindowsVersionClass());
  ResetWindowsVersionClassForTesting();
}

}  // namespace
}  // namespace base
