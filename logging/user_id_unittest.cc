#include "logging/user_id.h"

#include <windows.h>

#include <memory>
#include <string>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "logging/file_logger.h"
#include "test/support/matchers.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace broupdater {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// A scratch registry hive whose shell folders point the roaming application
// data at a scratch directory: the real profile is never touched.
class UserIdTest : public test::TestWithLog {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry_.ok());
    ASSERT_TRUE(::CreateDirectoryW(app_data_.c_str(), nullptr));
    for (const wchar_t* key :
         {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell "
          L"Folders",
          L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
          L"Folders"}) {
      ASSERT_TRUE(test::WriteRegistryValue(HKEY_CURRENT_USER, key, L"AppData",
                                           app_data_));
    }
  }

  std::wstring IdFile() { return app_data_ + L"\\Norvel\\ui"; }
  // The value that marks the identifier as created, for this user.
  static std::wstring MarkerName() {
    wchar_t user[257];
    DWORD size = 257;
    EXPECT_TRUE(::GetUserNameW(user, &size));
    return std::wstring(L"UICreated_") + user;
  }
  bool MarkerExistsUnder(const wchar_t* key_path) {
    HKEY key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_path, 0, KEY_READ, &key))
      return false;
    DWORD value = 0, type = 0, bytes = sizeof(value);
    bool found = ::RegQueryValueExW(key, MarkerName().c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(&value),
                                    &bytes) == ERROR_SUCCESS &&
                 type == REG_DWORD && value == 1;
    ::RegCloseKey(key);
    return found;
  }

  test::ScopedTempDir dir_;
  test::ScopedRegistryOverride registry_;
  std::wstring app_data_ = dir_.Append(L"AppData");
};

TEST_F(UserIdTest, CreatedOnceThenReadBack) {
  ASSERT_EQ(IdFile(), GetUserIdFilePath(false));
  const std::string id = GetUserId();
  EXPECT_THAT(id,
              test::FullyMatches("[0-9A-F]{8}-([0-9A-F]{4}-){3}[0-9A-F]{12}"));
  std::string stored;
  ASSERT_TRUE(test::ReadFileToString(IdFile(), &stored));
  EXPECT_EQ("{" + id + "}", stored);
  EXPECT_TRUE(MarkerExistsUnder(L"Software\\AppDataLow\\Norvel"));
  // Later calls read the same identifier.
  EXPECT_EQ(id, GetUserId());
  EXPECT_EQ(id, GetUserId());
}

TEST_F(UserIdTest, FileContentIsTakenAsItIs) {
  GetUserIdFilePath(true);
  ASSERT_TRUE(test::WriteStringToFile(IdFile(), "abc"));
  EXPECT_EQ("abc", GetUserId());
  ASSERT_TRUE(test::WriteStringToFile(IdFile(), "{x}"));
  EXPECT_EQ("x", GetUserId());
  ASSERT_TRUE(test::WriteStringToFile(IdFile(), std::string(64, 'a')));
  EXPECT_EQ(std::string(64, 'a'), GetUserId());
}

TEST_F(UserIdTest, DeletedFileIsNotReplacedWhileTheMarkerExists) {
  const std::string id = GetUserId();
  ASSERT_FALSE(id.empty());
  ASSERT_TRUE(::DeleteFileW(IdFile().c_str()));
  EXPECT_EQ("", GetUserId());
  EXPECT_FALSE(test::PathExists(IdFile()));
  EXPECT_THAT(Log(), HasSubstr("INFO: Registry entry already exists, skip User "
                               "ID file generation (broupdater::(anonymous "
                               "namespace)::GetUserIdInternal:"));
}

TEST_F(UserIdTest, OversizedFiles) {
  ASSERT_TRUE(RememberUidIsCreated());
  GetUserIdFilePath(true);
  ASSERT_TRUE(test::WriteStringToFile(IdFile(), std::string(65, 'a')));
  EXPECT_EQ("", GetUserId());
  EXPECT_THAT(Log(), HasSubstr("ERROR: Incorrect User ID file content ("));
  std::string stored;
  test::ReadFileToString(IdFile(), &stored);
  EXPECT_EQ(std::string(65, 'a'), stored);  // left alone

  ASSERT_TRUE(test::WriteStringToFile(IdFile(), std::string(66, 'a')));
  EXPECT_EQ("", GetUserId());
  EXPECT_THAT(Log(), HasSubstr("ERROR: Failed to read file "));
}

TEST_F(UserIdTest, UnreadableFileWithoutMarkerIsReplaced) {
  GetUserIdFilePath(true);
  ASSERT_TRUE(test::WriteStringToFile(IdFile(), std::string(100, 'a')));
  const std::string id = GetUserId();
  EXPECT_EQ(36u, id.size());
  std::string stored;
  test::ReadFileToString(IdFile(), &stored);
  EXPECT_EQ("{" + id + "}", stored);
}

TEST_F(UserIdTest, MarkerUnderTheOldKeyCounts) {
  ASSERT_TRUE(test::WriteRegistryValue(HKEY_CURRENT_USER, L"Software\\Norvel",
                                       MarkerName(), DWORD{1}));
  EXPECT_TRUE(UidMarkerExists());
  EXPECT_EQ("", GetUserId());
}

TEST(NewGuidStringTest, FreshEachTime) {
  std::string a = NewGuidString();
  EXPECT_THAT(a,
              test::FullyMatches("[0-9A-F]{8}-([0-9A-F]{4}-){3}[0-9A-F]{12}"));
  EXPECT_NE(a, NewGuidString());
}

}  // namespace
}  // namespace broupdater
