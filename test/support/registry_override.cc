#include "test/support/registry_override.h"

#include <objbase.h>

#include <iterator>
#include <string>
#include <vector>

namespace test {
namespace {

// FILETIME counts 100-nanosecond intervals.
constexpr uint64_t kOneDay = 24ull * 60 * 60 * 10'000'000;

uint64_t Now() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return (static_cast<uint64_t>(now.dwHighDateTime) << 32) |
         now.dwLowDateTime;
}

// The time at the start of a scratch key's name; false for a name that does
// not start with one.
bool ParseCreationTime(const std::wstring& name, uint64_t* created) {
  const size_t end = name.find(L'_');
  if (end == 0 || end == std::wstring::npos)
    return false;
  uint64_t value = 0;
  for (size_t i = 0; i < end; ++i) {
    if (name[i] < L'0' || name[i] > L'9')
      return false;
    const uint64_t digit = static_cast<uint64_t>(name[i] - L'0');
    if (value > (UINT64_MAX - digit) / 10)
      return false;
    value = value * 10 + digit;
  }
  *created = value;
  return true;
}

// Removes the scratch keys below `parent` that are older than a day, and
// anything else found there: only scratch keys belong below it.
void DeleteStaleScratchKeys(HKEY parent, uint64_t now) {
  std::vector<std::wstring> stale;
  wchar_t name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(std::size(name));
    if (::RegEnumKeyExW(parent, index, name, &length, nullptr, nullptr,
                        nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    uint64_t created = 0;
    if (!ParseCreationTime(name, &created) ||
        (created < now && now - created > kOneDay)) {
      stale.emplace_back(name, length);
    }
  }
  // Deleting while enumerating would shift the indices.
  for (const std::wstring& key : stale)
    ::RegDeleteTreeW(parent, key.c_str());
}

}  // namespace

// static
std::wstring ScopedRegistryOverride::ScratchKeyName(uint64_t created) {
  GUID guid;
  wchar_t guid_text[40] = {};
  if (FAILED(::CoCreateGuid(&guid)) ||
      ::StringFromGUID2(guid, guid_text, 40) == 0) {
    return std::wstring();
  }
  return std::to_wstring(created) + L"_" +
         std::to_wstring(::GetCurrentProcessId()) + L"_" + guid_text;
}

ScopedRegistryOverride::ScopedRegistryOverride(int hives) {
  // Not volatile: code under test creates ordinary keys below the scratch
  // keys, and a volatile key cannot have those.
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kTestKeyPath, 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &parent_, nullptr) != ERROR_SUCCESS) {
    parent_ = nullptr;
    return;
  }
  const uint64_t now = Now();
  DeleteStaleScratchKeys(parent_, now);
  scratch_name_ = ScratchKeyName(now);
  if (scratch_name_.empty())
    return;

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
    // The parent key stays: deleting it whenever it is empty for a moment
    // would pull it from under a test process that has just opened it.
    ::RegCloseKey(parent_);
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

ScopedRegistryValue::ScopedRegistryValue(HKEY root, std::wstring key, std::wstring name)
    : root_(root), key_(std::move(key)), name_(std::move(name)) {
  DWORD size = 0;
  if (::RegGetValueW(root_, key_.c_str(), name_.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type_,
                     nullptr, &size) != ERROR_SUCCESS) {
    return;
  }
  old_data_.resize(size);
  existed_ = ::RegGetValueW(root_, key_.c_str(), name_.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                            &type_, old_data_.data(), &size) == ERROR_SUCCESS;
  old_data_.resize(size);
}

ScopedRegistryValue::~ScopedRegistryValue() {
  if (existed_) {
    WriteRegistryValue(root_, key_, name_, type_, old_data_.data(), old_data_.size());
  } else {
    ::RegDeleteKeyValueW(root_, key_.c_str(), name_.c_str());
  }
}

bool ScopedRegistryValue::Set(const std::wstring& value) {
  return WriteRegistryValue(root_, key_, name_, value);
}

}  // namespace test
