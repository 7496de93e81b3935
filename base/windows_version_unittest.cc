#include "base/windows_version.h"

#include "base/system_facts.h"
#include "gtest/gtest.h"
#include "test/support/fake_system_facts.h"

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

TEST(WindowsVersionTest, RealFactsAgreeWithGetVersionAndTheSeamWins) {
  // GetVersion packs the same answer, under the same manifest rules, into
  // one number: major in the low byte, minor in the next, the build in the
  // high word. (The test binary has no compatibility manifest, so neither
  // says 10 here; the product's manifest makes both say it.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const DWORD packed = ::GetVersion();
#pragma GCC diagnostic pop
  const DWORD major = LOBYTE(LOWORD(packed));
  const DWORD minor = HIBYTE(LOWORD(packed));
  auto real = SystemFacts().GetWindowsVersion();
  ASSERT_TRUE(real.has_value());
  EXPECT_EQ(major, real->major);
  EXPECT_EQ(minor, real->minor);
  EXPECT_EQ(HIWORD(packed), real->build);
  ResetWindowsVersionClassForTesting();
  EXPECT_EQ(WindowsVersionClassFor(major, minor), GetWindowsVersionClass());

  test::FakeSystemFacts facts;
  facts.SetWindowsVersion(6, 1, 7601);
  EXPECT_EQ(kWin7, GetWindowsVersionClass());
}

}  // namespace
}  // namespace base
