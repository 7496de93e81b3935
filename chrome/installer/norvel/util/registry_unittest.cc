#include "chrome/installer/norvel/util/registry.h"

#include <windows.h>

#include <memory>
#include <string>

#include "chrome/installer/norvel/util/product_key.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace installer {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kProductPath[] =
    "HKEY_CURRENT_USER\\Software\\Norvel\\NorvelBrowser\\";

class RegistryTest : public test::TestWithLog {
 protected:
  void SetUp() override { ASSERT_TRUE(registry_.ok()); }

  // The texts of the INFO lines logged so far.
  std::vector<std::string> InfoTexts() {
    std::vector<std::string> texts;
    for (const test::LogEntry& entry : log_.Entries()) {
      if (entry.message.starts_with("INFO: ") &&
          entry.function.starts_with("installer::")) {
        texts.push_back(entry.message.substr(6));
      }
    }
    return texts;
  }

  // Reads a value straight from the scratch hive, bypassing the code under
  // test.
  bool RawRead(const std::wstring& name, std::wstring* value) {
    wchar_t buffer[512];
    DWORD size = sizeof(buffer);
    if (::RegGetValueW(registry_.current_user_root(), GetProductKey(),
                       name.c_str(), RRF_RT_REG_SZ, nullptr, buffer,
                       &size) != ERROR_SUCCESS) {
      return false;
    }
    *value = buffer;
    return true;
  }
  void RawWrite(const std::wstring& name,
                DWORD type,
                const void* data,
                DWORD size) {
    ASSERT_TRUE(test::WriteRegistryValue(registry_.current_user_root(),
                                         GetProductKey(), name, type, data,
                                         size));
  }

  test::ScopedRegistryOverride registry_;
  test::ScopedTempDir dir_;
};

TEST_F(RegistryTest, StoreCreatesTheKeyThenReadAndRemoveLogEachStep) {
  const std::wstring value = L"C:\\Temp dir\\installer data.bin";
  HKEY probe = nullptr;
  ASSERT_NE(ERROR_SUCCESS,
            ::RegOpenKeyExW(registry_.current_user_root(), GetProductKey(), 0,
                            KEY_READ, &probe));

  EXPECT_TRUE(StoreProductValue(L"InstallerData", value));
  std::wstring raw;
  ASSERT_TRUE(RawRead(L"InstallerData", &raw));
  EXPECT_EQ(value, raw);

  EXPECT_EQ(value, ReadProductValue(L"InstallerData"));
  EXPECT_TRUE(RemoveProductValue(L"InstallerData"));
  EXPECT_FALSE(RawRead(L"InstallerData", &raw));
  EXPECT_FALSE(RemoveProductValue(L"InstallerData"));
  EXPECT_EQ(L"", ReadProductValue(L"InstallerData"));

  const std::string path = std::string(kProductPath) + "InstallerData";
  EXPECT_EQ(
      (std::vector<std::string>{
          "Stored " + path + " = C:\\Temp dir\\installer data.bin",
          "Read " + path + " which is \"C:\\Temp dir\\installer data.bin\"",
          "Removed " + path,
          "No value to remove: " + path,
          "No value to read: " + path,
      }),
      InfoTexts());
}

TEST_F(RegistryTest, MissingKeyAndWrongTypeAreReadFailures) {
  std::wstring value = L"untouched";
  EXPECT_FALSE(ReadValueFromRegistry(L"Software\\Nowhere", L"X", &value));
  EXPECT_EQ(L"untouched", value);

  const DWORD number = 7;
  RawWrite(L"Number", REG_DWORD, &number, sizeof(number));
  EXPECT_FALSE(ReadValueFromRegistry(GetProductKey(), L"Number", &value));
  EXPECT_EQ(L"untouched", value);

  EXPECT_EQ((std::vector<std::string>{
                "Failed to read HKEY_CURRENT_USER\\Software\\Nowhere\\X",
                "Failed to read " + std::string(kProductPath) + "Number",
            }),
            InfoTexts());
}

TEST_F(RegistryTest, ReadsValuesOtherWritersLeftUnterminatedOrEmpty) {
  // Another writer may store the characters without the terminating NUL.
  const wchar_t text[] = {L'a', L'b', L'c'};
  RawWrite(L"Unterminated", REG_SZ, text, sizeof(text));
  RawWrite(L"Empty", REG_SZ, L"", sizeof(wchar_t));
  RawWrite(L"NoBytes", REG_SZ, nullptr, 0);
  EXPECT_EQ(L"abc", ReadProductValue(L"Unterminated"));

  std::wstring value = L"x";
  EXPECT_TRUE(ReadValueFromRegistry(GetProductKey(), L"Empty", &value));
  EXPECT_EQ(L"", value);
  value = L"x";
  EXPECT_TRUE(ReadValueFromRegistry(GetProductKey(), L"NoBytes", &value));
  EXPECT_EQ(L"", value);
}

TEST_F(RegistryTest, StoreFailureIsLoggedWithTheValue) {
  // Key names have at most 255 characters, so this key cannot be created.
  const std::wstring key(300, L'k');
  EXPECT_FALSE(StoreValueInRegistry(key, L"name", L"v"));
  EXPECT_FALSE(RemoveValueFromRegistry(key, L"name"));
  const std::string path =
      "HKEY_CURRENT_USER\\" + std::string(300, 'k') + "\\name";
  EXPECT_EQ((std::vector<std::string>{"Failed to store " + path + " = v",
                                      "Failed to remove " + path}),
            InfoTexts());
}

TEST_F(RegistryTest, FilePathReadsEmptyOnceTheFileIsGone) {
  const std::wstring file = dir_.Append(L"clids.xml");
  ASSERT_TRUE(test::WriteStringToFile(file, "x"));
  StoreProductValue(L"ClidsFile", file);
  StoreProductValue(L"Folder", dir_.path());

  EXPECT_EQ(file, ReadFilePathFromRegistry(L"ClidsFile"));
  EXPECT_EQ(dir_.path(), ReadFilePathFromRegistry(L"Folder"));
  ASSERT_TRUE(::DeleteFileW(file.c_str()));
  EXPECT_EQ(L"", ReadFilePathFromRegistry(L"ClidsFile"));
  EXPECT_EQ(L"", ReadFilePathFromRegistry(L"NeverStored"));

  const std::vector<std::string> texts = InfoTexts();
  ASSERT_GE(texts.size(), 2u);
  // The stored text, then the checked result.
  EXPECT_EQ("Read " + std::string(kProductPath) + "NeverStored which is \"\"",
            texts.back());
  EXPECT_EQ("No value to read: " + std::string(kProductPath) + "NeverStored",
            texts[texts.size() - 2]);
  EXPECT_THAT(texts, testing::Contains("Read " + std::string(kProductPath) +
                                       "ClidsFile which is \"\""));
}

TEST(RegistryOverrideTest, RealHiveIsNotTouched) {
  const std::wstring name =
      L"LiteInstallerTest" + std::to_wstring(::GetCurrentProcessId());
  {
    test::ScopedRegistryOverride registry;
    ASSERT_TRUE(registry.ok());
    ASSERT_TRUE(StoreProductValue(name, L"scratch"));
  }
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, GetProductKey(), 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    EXPECT_NE(ERROR_SUCCESS, ::RegQueryValueExW(key, name.c_str(), nullptr,
                                                nullptr, nullptr, nullptr));
    ::RegCloseKey(key);
  }
}

TEST(RegistryOverrideTest, LocalMachineWhenAsked) {
  test::ScopedRegistryOverride registry(
      test::ScopedRegistryOverride::kCurrentUser |
      test::ScopedRegistryOverride::kLocalMachine);
  ASSERT_TRUE(registry.ok());
  HKEY key = nullptr;
  ASSERT_EQ(
      ERROR_SUCCESS,
      ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\LiteProbe", 0, nullptr,
                        0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  ::RegCloseKey(key);
  EXPECT_EQ(ERROR_SUCCESS,
            ::RegOpenKeyExW(registry.local_machine_root(),
                            L"Software\\LiteProbe", 0, KEY_READ, &key));
  ::RegCloseKey(key);
  EXPECT_NE(ERROR_SUCCESS,
            ::RegOpenKeyExW(registry.current_user_root(),
                            L"Software\\LiteProbe", 0, KEY_READ, &key));
}

TEST(ProductKeyTest, KeyIsBuiltOnceAndFolderUsesTheSameNames) {
  const wchar_t* key = GetProductKey();
  EXPECT_STREQ(L"Software\\Norvel\\NorvelBrowser", key);
  EXPECT_EQ(key, GetProductKey());
  EXPECT_EQ(L"Norvel\\NorvelBrowser", GetBrowserInstallationFolder());
  EXPECT_EQ(std::wstring(key), L"Software\\" + GetBrowserInstallationFolder());
}

}  // namespace
}  // namespace installer
