#include "chrome/installer/norvel/util/network/request_headers.h"

#include <string>

#include "base/scoped_handle.h"
#include "base/system_facts.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

TEST(RequestHeadersTest, Format) {
  EXPECT_EQ(
      L"Accept: */*\r\n"
      L"Sec-CH-UA-Platform: \"Windows\"\r\n"
      L"Sec-CH-UA-Platform-Version: \"10.0.3803\"",
      FormatRequestHeaders(10, 0, 3803));
}

class VersionFacts : public base::SystemFacts {
 public:
  std::optional<Version> GetWindowsVersion() const override {
    return Version{10, 0, 19045};
  }
};

// HKLM redirected to a scratch key, so the update build revision can be
// present or absent.
class ScratchMachineHive {
 public:
  ScratchMachineHive() {
    path_ =
        L"Software\\lite_test_hklm_" + std::to_wstring(::GetCurrentProcessId());
    ::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, root_.Receive(), nullptr);
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, root_.get());
  }
  ~ScratchMachineHive() {
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    root_.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
  }
  void SetUbr(DWORD value) {
    base::ScopedHKEY key;
    ASSERT_EQ(
        ERROR_SUCCESS,
        ::RegCreateKeyExW(
            root_.get(), L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
            nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr));
    ASSERT_EQ(
        ERROR_SUCCESS,
        ::RegSetValueExW(key.get(), L"UBR", 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&value), sizeof(value)));
  }

 private:
  std::wstring path_;
  base::ScopedHKEY root_;
};

// The version is major.minor of the system and the update build revision,
// never the build number.
TEST(RequestHeadersTest, VersionComesFromSystemAndUbr) {
  VersionFacts facts;
  base::ScopedSystemFactsForTesting scoped_facts(&facts);
  ScratchMachineHive hive;
  EXPECT_EQ(FormatRequestHeaders(10, 0, 0), BuildRequestHeaders());
  hive.SetUbr(3803);
  EXPECT_EQ(3803u, GetUpdateBuildRevision());
  EXPECT_EQ(FormatRequestHeaders(10, 0, 3803), BuildRequestHeaders());
}

}  // namespace
}  // namespace installer
