#include "test/support/registry_override.h"

#include <objbase.h>

#include <string>

namespace test {
namespace {

// Not volatile: code under test creates ordinary keys below the scratch
// keys, and a volatile key cannot have those.
constexpr wchar_t kTestKey[] = L"Software\\LiteInstallerTests";

}  // namespace

ScopedRegistryOverride::ScopedRegistryOverride(int hives) {
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &parent_, nullptr) != ERROR_SUCCESS) {
    parent_ = nullptr;
    return;
  }
  GUID guid;
  wchar_t guid_text[40] = {};
  if (FAILED(::CoCreateGuid(&guid)) ||
      ::StringFromGUID2(guid, guid_text, 40) == 0) {
    return;
  }
  scratch_name_ = std::to_wstring(::GetCurrentProcessId()) + L"_" + guid_text;

  ok_ = true;
  // Open every scratch key before redirecting anything: once HKCU is
  // redirected, paths below it resolve inside the scratch key.
  if (hives & kCurrentUser)
    ok_ = ok_ && Redirect(HKEY_CURRENT_USER, L"HKCU", &hkcu_root_);
  if (hives & kLocalMachine)
    ok_ = ok_ && Redirect(HKEY_LOCAL_MACHINE, L"HKLM", &hklm_root_);
}

bool ScopedRegistryOverride::Redirect(HKEY predefined,
                                      const wchar_t* leaf,
                                      HKEY* root) {
  const std::wstring path = scratch_name_ + L"\\" + leaf;
  if (::RegCreateKeyExW(parent_, path.c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, root,
                        nullptr) != ERROR_SUCCESS) {
    *root = nullptr;
    return false;
  }
  return ::RegOverridePredefKey(predefined, *root) == ERROR_SUCCESS;
}

ScopedRegistryOverride::~ScopedRegistryOverride() {
  if (hkcu_root_)
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  if (hklm_root_)
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  if (hkcu_root_)
    ::RegCloseKey(hkcu_root_);
  if (hklm_root_)
    ::RegCloseKey(hklm_root_);
  if (parent_) {
    if (!scratch_name_.empty())
      ::RegDeleteTreeW(parent_, scratch_name_.c_str());
    ::RegCloseKey(parent_);
    // Fails, as it should, while another test process has scratch keys.
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey);
  }
}

bool WriteRegistryValue(HKEY root,
                        const std::wstring& key,
                        const std::wstring& name,
                        DWORD type,
                        const void* data,
                        size_t size) {
  HKEY handle = nullptr;
  if (::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool ok = ::RegSetValueExW(handle, name.c_str(), 0, type,
                                   static_cast<const BYTE*>(data),
                                   static_cast<DWORD>(size)) == ERROR_SUCCESS;
  ::RegCloseKey(handle);
  return ok;
}

bool WriteRegistryValue(HKEY root,
                        const std::wstring& key,
                        const std::wstring& name,
                        DWORD value) {
  return WriteRegistryValue(root, key, name, REG_DWORD, &value, sizeof(value));
}

bool WriteRegistryValue(HKEY root,
                        const std::wstring& key,
                        const std::wstring& name,
                        const std::wstring& value) {
  return WriteRegistryValue(root, key, name, REG_SZ, value.c_str(),
                            (value.size() + 1) * sizeof(wchar_t));
}

}  // namespace test
