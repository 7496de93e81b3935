#ifndef TEST_SUPPORT_REGISTRY_OVERRIDE_H_
#define TEST_SUPPORT_REGISTRY_OVERRIDE_H_

#include <windows.h>

#include <cstdint>
#include <string>

namespace test {

// Redirects HKEY_CURRENT_USER (and HKEY_LOCAL_MACHINE when asked) of this
// process to fresh scratch keys, so code under test writes nowhere real.
// On destruction the predefined keys are restored and the scratch keys
// deleted. Process-wide: use one at a time, before starting threads that
// touch the registry.
//
// Scratch keys are named after the time they were made; a run that crashed
// leaves its keys behind, and every new override removes those older than a
// day (a test never runs that long).
class ScopedRegistryOverride {
 public:
  enum Hives { kCurrentUser = 1, kLocalMachine = 2 };

  // HKEY_CURRENT_USER\<kTestKeyPath> holds the scratch keys.
  static constexpr wchar_t kTestKeyPath[] = L"Software\\LiteInstallerTests";

  explicit ScopedRegistryOverride(int hives = kCurrentUser);
  ScopedRegistryOverride(const ScopedRegistryOverride&) = delete;
  ScopedRegistryOverride& operator=(const ScopedRegistryOverride&) = delete;
  ~ScopedRegistryOverride();

  // True when every requested hive is redirected.
  bool ok() const { return ok_; }

  // The real key that stands in for HKEY_CURRENT_USER / HKEY_LOCAL_MACHINE,
  // opened before the redirection (null when not overridden). Lets a test
  // check where values went.
  HKEY current_user_root() const { return hkcu_root_; }
  HKEY local_machine_root() const { return hklm_root_; }

  // The name of a scratch key made at `created` (a FILETIME value):
  // "<created>_<process id>_<GUID>".
  static std::wstring ScratchKeyName(uint64_t created);

 private:
  bool Redirect(HKEY predefined, const wchar_t* leaf, HKEY* root);

  // The real HKEY_CURRENT_USER\Software\LiteInstallerTests key holding the
  // scratch keys, and this override's own scratch key name below it.
  HKEY parent_ = nullptr;
  std::wstring scratch_name_;
  HKEY hkcu_root_ = nullptr;
  HKEY hklm_root_ = nullptr;
  bool ok_ = false;
};

// Creates `key` below `root` as needed and sets its value `name` to `size`
// bytes of `type` (as they are: a string need not end with its NUL), or to a
// DWORD, or to a string; false when either step fails.
bool WriteRegistryValue(HKEY root,
                        const std::wstring& key,
                        const std::wstring& name,
                        DWORD type,
                        const void* data,
                        size_t size);
bool WriteRegistryValue(HKEY root,
                        const std::wstring& key,
                        const std::wstring& name,
                        DWORD value);
bool WriteRegistryValue(HKEY root,
                        const std::wstring& key,
                        const std::wstring& name,
                        const std::wstring& value);

// One real registry value (not redirected) that a test changes, for
// programs it starts that share the registry: its first state is kept and
// put back on destruction (the value deleted when it did not exist).
class ScopedRegistryValue {
 public:
  ScopedRegistryValue(HKEY root, std::wstring key, std::wstring name);
  ScopedRegistryValue(const ScopedRegistryValue&) = delete;
  ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;
  ~ScopedRegistryValue();

  // Sets the value to the string `value` (creating the key); false on
  // failure.
  bool Set(const std::wstring& value);

 private:
  HKEY root_;
  std::wstring key_;
  std::wstring name_;
  bool existed_ = false;
  DWORD type_ = REG_NONE;
  std::string old_data_;
};

}  // namespace test

#endif  // TEST_SUPPORT_REGISTRY_OVERRIDE_H_
