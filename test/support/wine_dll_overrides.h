#ifndef TEST_SUPPORT_WINE_DLL_OVERRIDES_H_
#define TEST_SUPPORT_WINE_DLL_OVERRIDES_H_

#include <windows.h>

#include <string>
#include <vector>

namespace test {

// Makes Wine prefer a native DLL (one beside the program, say) over its
// builtin one for the named libraries, in processes of the program file
// `exe_name` started while the object lives. Wine takes its builtin copy
// otherwise, and a planting test would pass falsely. (WINEDLLOVERRIDES in
// a child's Windows environment is not read: Wine reads the Unix one, which
// a test cannot change; the per-program registry key serves instead.)
class ScopedWineDllOverrides {
 public:
  ScopedWineDllOverrides(const std::wstring& exe_name,
                         const std::vector<std::wstring>& libraries)
      : key_path_(L"Software\\Wine\\AppDefaults\\" + exe_name +
                  L"\\DllOverrides"),
        libraries_(libraries) {
    HKEY key;
    DWORD disposition = 0;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, key_path_.c_str(), 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, &key,
                          &disposition) != ERROR_SUCCESS) {
      return;
    }
    created_ = disposition == REG_CREATED_NEW_KEY;
    static constexpr wchar_t kNativeFirst[] = L"native,builtin";
    for (const std::wstring& library : libraries_) {
      ::RegSetValueExW(key, library.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(kNativeFirst),
                       sizeof(kNativeFirst));
    }
    ::RegCloseKey(key);
  }
  ScopedWineDllOverrides(const ScopedWineDllOverrides&) = delete;
  ScopedWineDllOverrides& operator=(const ScopedWineDllOverrides&) = delete;
  ~ScopedWineDllOverrides() {
    if (created_) {
      ::RegDeleteKeyW(HKEY_CURRENT_USER, key_path_.c_str());
      return;
    }
    HKEY key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_path_.c_str(), 0, KEY_SET_VALUE,
                        &key) != ERROR_SUCCESS) {
      return;
    }
    for (const std::wstring& library : libraries_)
      ::RegDeleteValueW(key, library.c_str());
    ::RegCloseKey(key);
  }

 private:
  std::wstring key_path_;
  std::vector<std::wstring> libraries_;
  bool created_ = false;
};

}  // namespace test

#endif  // TEST_SUPPORT_WINE_DLL_OVERRIDES_H_
