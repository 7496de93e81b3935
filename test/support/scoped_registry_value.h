#ifndef TEST_SUPPORT_SCOPED_REGISTRY_VALUE_H_
#define TEST_SUPPORT_SCOPED_REGISTRY_VALUE_H_

#include <windows.h>

#include <string>
#include <vector>

namespace test {

// Sets one value of the real registry (for programs the test starts, which
// a registry override does not reach) and puts back what was there, or
// removes it, on destruction.
class ScopedRegistryValue {
 public:
  ScopedRegistryValue(HKEY root, std::wstring key, std::wstring name, DWORD type,
                      const void* data, DWORD size)
      : root_(root), key_(std::move(key)), name_(std::move(name)) {
    DWORD old_size = 0;
    had_value_ = ::RegGetValueW(root_, key_.c_str(), name_.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                                &old_type_, nullptr, &old_size) == ERROR_SUCCESS;
    if (had_value_) {
      old_data_.resize(old_size);
      ::RegGetValueW(root_, key_.c_str(), name_.c_str(), RRF_RT_ANY | RRF_NOEXPAND, nullptr,
                     old_data_.data(), &old_size);
    }
    ok_ = ::RegSetKeyValueW(root_, key_.c_str(), name_.c_str(), type, data, size) ==
          ERROR_SUCCESS;
  }
  ScopedRegistryValue(HKEY root, std::wstring key, std::wstring name, DWORD value)
      : ScopedRegistryValue(root, std::move(key), std::move(name), REG_DWORD, &value,
                            sizeof(value)) {}
  ScopedRegistryValue(HKEY root, std::wstring key, std::wstring name, const std::wstring& value)
      : ScopedRegistryValue(root, std::move(key), std::move(name), REG_SZ, value.c_str(),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) {}
  ScopedRegistryValue(const ScopedRegistryValue&) = delete;
  ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;
  ~ScopedRegistryValue() {
    if (had_value_) {
      ::RegSetKeyValueW(root_, key_.c_str(), name_.c_str(), old_type_, old_data_.data(),
                        static_cast<DWORD>(old_data_.size()));
    } else {
      ::RegDeleteKeyValueW(root_, key_.c_str(), name_.c_str());
    }
  }

  // Whether the value was set.
  bool ok() const { return ok_; }

 private:
  HKEY root_;
  std::wstring key_;
  std::wstring name_;
  bool had_value_ = false;
  DWORD old_type_ = 0;
  std::vector<BYTE> old_data_;
  bool ok_ = false;
};

}  // namespace test

#endif  // TEST_SUPPORT_SCOPED_REGISTRY_VALUE_H_
