#include "test/support/registry_override.h"

#include <string>

#include "gtest/gtest.h"

namespace test {
namespace {

constexpr uint64_t kHour = 60ull * 60 * 10'000'000;  // in FILETIME units

uint64_t Now() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return (static_cast<uint64_t>(now.dwHighDateTime) << 32) |
         now.dwLowDateTime;
}

bool HasSubkey(HKEY parent, const std::wstring& name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(key);
  return true;
}

bool CreateSubkey(HKEY parent, const std::wstring& name) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(key);
  return true;
}

// What a crashed run leaves: scratch keys, with the hives below them.
TEST(ScopedRegistryOverrideTest, RemovesScratchKeysOlderThanADay) {
  HKEY parent = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegCreateKeyExW(HKEY_CURRENT_USER,
                              ScopedRegistryOverride::kTestKeyPath, 0, nullptr,
                              0, KEY_ALL_ACCESS, nullptr, &parent, nullptr));
  const uint64_t now = Now();
  const std::wstring stale =
      ScopedRegistryOverride::ScratchKeyName(now - 25 * kHour);
  const std::wstring fresh =
      ScopedRegistryOverride::ScratchKeyName(now - 23 * kHour);
  const std::wstring unnamed = L"not a scratch key";
  ASSERT_TRUE(CreateSubkey(parent, stale + L"\\HKCU\\Software\\Norvel"));
  ASSERT_TRUE(CreateSubkey(parent, fresh + L"\\HKCU"));
  ASSERT_TRUE(CreateSubkey(parent, unnamed));

  {
    ScopedRegistryOverride override;
    EXPECT_TRUE(override.ok());
  }
  EXPECT_FALSE(HasSubkey(parent, stale));
  EXPECT_FALSE(HasSubkey(parent, unnamed));
  // Another test process may still be using a key of a day's age or less.
  EXPECT_TRUE(HasSubkey(parent, fresh + L"\\HKCU"));

  ::RegDeleteTreeW(parent, fresh.c_str());
  ::RegCloseKey(parent);
}

}  // namespace
}  // namespace test
