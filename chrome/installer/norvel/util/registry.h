#ifndef CHROME_INSTALLER_NORVEL_UTIL_REGISTRY_H_
#define CHROME_INSTALLER_NORVEL_UTIL_REGISTRY_H_

#include <string>

// Named REG_SZ values under keys of HKEY_CURRENT_USER. Every call logs one
// INFO line naming the full value path, so the log alone tells what was
// stored, read or removed.
namespace installer {

// Opens `key` for writing, creating it when needed, and writes `value`.
bool StoreValueInRegistry(const std::wstring& key,
                          const std::wstring& name,
                          const std::wstring& value);

// Reads a REG_SZ value. False when the key or the value is missing or the
// value is not a string; `value` is left alone then.
bool ReadValueFromRegistry(const std::wstring& key,
                           const std::wstring& name,
                           std::wstring* value);

// Deletes a value. False when it was not there or could not be deleted.
bool RemoveValueFromRegistry(const std::wstring& key, const std::wstring& name);

// The same operations on the product key (GetProductKey()).
bool StoreProductValue(const std::wstring& name, const std::wstring& value);
// Empty when the value cannot be read.
std::wstring ReadProductValue(const std::wstring& name);
bool RemoveProductValue(const std::wstring& name);

// A path stored under the product key, or empty when it is missing or no
// longer names an existing file or directory.
std::wstring ReadFilePathFromRegistry(const std::wstring& name);

}  // namespace installer

#endif  // CHROME_INSTALLER_NORVEL_UTIL_REGISTRY_H_
