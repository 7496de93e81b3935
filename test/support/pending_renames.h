#ifndef TEST_SUPPORT_PENDING_RENAMES_H_
#define TEST_SUPPORT_PENDING_RENAMES_H_

#include <windows.h>

#include <string>
#include <vector>

namespace test {

// The renames and deletions that Windows carries out at the next reboot
// (MOVEFILE_DELAY_UNTIL_REBOOT): the real registry value, which a test
// reads and gets back as it was on destruction, so that nothing a test
// scheduled is ever carried out.
class ScopedPendingRenames {
 public:
  ScopedPendingRenames() { had_value_ = Read(&saved_); }
  ScopedPendingRenames(const ScopedPendingRenames&) = delete;
  ScopedPendingRenames& operator=(const ScopedPendingRenames&) = delete;
  ~ScopedPendingRenames() {
    HKEY key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS) {
      return;
    }
    if (had_value_) {
      ::RegSetValueExW(key, kValue, 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(saved_.data()),
                       static_cast<DWORD>(saved_.size() * sizeof(wchar_t)));
    } else {
      ::RegDeleteValueW(key, kValue);
    }
    ::RegCloseKey(key);
  }

  // The value's strings in order (a deletion is a path followed by an
  // empty string), paths as Windows wrote them ("\??\C:\...").
  std::vector<std::wstring> Entries() const {
    std::wstring data;
    std::vector<std::wstring> entries;
    if (!Read(&data))
      return entries;
    // Each string ends in a zero; the list ends in one more.
    size_t at = 0;
    while (at < data.size()) {
      const size_t end = data.find(L'\0', at);
      if (end == std::wstring::npos) {
        entries.push_back(data.substr(at));
        break;
      }
      entries.push_back(data.substr(at, end - at));
      at = end + 1;
    }
    while (!entries.empty() && entries.back().empty() &&
           entries.size() % 2 == 1) {
      entries.pop_back();
    }
    return entries;
  }

  // True when a deletion of `path` is scheduled.
  bool HoldsDeletionOf(const std::wstring& path) const {
    const std::vector<std::wstring> entries = Entries();
    for (size_t i = 0; i + 1 < entries.size(); i += 2) {
      if (entries[i] == L"\\??\\" + path && entries[i + 1].empty())
        return true;
    }
    return false;
  }

 private:
  static constexpr wchar_t kKey[] =
      L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  static constexpr wchar_t kValue[] = L"PendingFileRenameOperations";

  static bool Read(std::wstring* data) {
    DWORD size = 0;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, kValue, RRF_RT_REG_MULTI_SZ,
                       nullptr, nullptr, &size) != ERROR_SUCCESS) {
      return false;
    }
    data->assign(size / sizeof(wchar_t), L'\0');
    return ::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, kValue,
                          RRF_RT_REG_MULTI_SZ, nullptr, data->data(),
                          &size) == ERROR_SUCCESS;
  }

  std::wstring saved_;
  bool had_value_ = false;
};

}  // namespace test

#endif  // TEST_SUPPORT_PENDING_RENAMES_H_
