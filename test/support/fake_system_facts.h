#ifndef TEST_SUPPORT_FAKE_SYSTEM_FACTS_H_
#define TEST_SUPPORT_FAKE_SYSTEM_FACTS_H_

#include <windows.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "base/system_facts.h"
#include "base/windows_version.h"

namespace test {

// Machine facts chosen by the test, current for the life of the object. A
// fact the test did not set is the real machine's. Installing, removing and
// setting the Windows version also forget the cached Windows version class.
// One at a time; set it up before the code under test starts threads.
class FakeSystemFacts : public base::SystemFacts {
 public:
  FakeSystemFacts() { base::ResetWindowsVersionClassForTesting(); }
  FakeSystemFacts(const FakeSystemFacts&) = delete;
  FakeSystemFacts& operator=(const FakeSystemFacts&) = delete;
  ~FakeSystemFacts() override { base::ResetWindowsVersionClassForTesting(); }

  // nullopt: the version cannot be read.
  void SetWindowsVersion(std::optional<Version> version) {
    windows_version_ = version;
    base::ResetWindowsVersionClassForTesting();
  }
  void SetWindowsVersion(DWORD major, DWORD minor, DWORD build) {
    SetWindowsVersion(Version{major, minor, build});
  }
  // nullopt: the free space cannot be measured.
  void SetFreeDiskSpace(std::optional<uint64_t> bytes) { free_space_ = bytes; }
  void SetProcessorFeature(DWORD feature, bool present) {
    processor_features_[feature] = present;
  }
  void SetUserRegion(std::string region) { region_ = std::move(region); }
  void SetUserDefaultUILanguage(LANGID language) { ui_language_ = language; }

  // kernel32.dll's `name` answers as missing.
  void SetKernel32FunctionMissing(std::string name) {
    missing_kernel32_functions_.insert(std::move(name));
  }

  // Whether the user is in the Administrators group, and whether the
  // process runs elevated (Wine: always both).
  void SetAdminGroupMembership(bool member) { admin_group_ = member; }
  void SetUserAnAdmin(bool elevated) { user_an_admin_ = elevated; }

  // The folder named by the last question about free space.
  const std::wstring& last_free_space_folder() const { return last_folder_; }

  bool IsProcessorFeaturePresent(DWORD feature) const override {
    auto it = processor_features_.find(feature);
    return it != processor_features_.end()
               ? it->second
               : SystemFacts::IsProcessorFeaturePresent(feature);
  }
  std::optional<Version> GetWindowsVersion() const override {
    return windows_version_ ? *windows_version_
                            : SystemFacts::GetWindowsVersion();
  }
  std::optional<uint64_t> GetFreeDiskSpace(
      const wchar_t* folder) const override {
    last_folder_ = folder;
    return free_space_ ? *free_space_ : SystemFacts::GetFreeDiskSpace(folder);
  }
  std::string GetUserRegion() const override {
    return region_ ? *region_ : SystemFacts::GetUserRegion();
  }
  FARPROC GetKernel32Function(const char* name) const override {
    return missing_kernel32_functions_.count(name)
               ? nullptr
               : SystemFacts::GetKernel32Function(name);
  }
  std::optional<bool> GetAdminGroupMembership() const override {
    return admin_group_ ? admin_group_ : SystemFacts::GetAdminGroupMembership();
  }
  bool IsUserAnAdmin() const override {
    return user_an_admin_ ? *user_an_admin_ : SystemFacts::IsUserAnAdmin();
  }
  LANGID GetUserDefaultUILanguage() const override {
    return ui_language_ ? *ui_language_
                        : SystemFacts::GetUserDefaultUILanguage();
  }

 private:
  // Outer optional: set by the test; inner: the answer, which may be none.
  std::optional<std::optional<Version>> windows_version_;
  std::optional<std::optional<uint64_t>> free_space_;
  std::map<DWORD, bool> processor_features_;
  std::optional<std::string> region_;
  std::optional<LANGID> ui_language_;
  std::set<std::string> missing_kernel32_functions_;
  std::optional<bool> admin_group_;
  std::optional<bool> user_an_admin_;
  mutable std::wstring last_folder_;
  base::ScopedSystemFactsForTesting installed_{this};
};

}  // namespace test

#endif  // TEST_SUPPORT_FAKE_SYSTEM_FACTS_H_
