#include "chrome/installer/norvel/util/registry.h"

#include <windows.h>

#include <vector>

#include "base/scoped_handle.h"
#include "chrome/installer/norvel/util/product_key.h"
#include "logging/file_logger.h"

namespace installer {
namespace {

// "HKEY_CURRENT_USER\<key>\<name>", as every log line names the value.
std::wstring ValuePath(const std::wstring& key, const std::wstring& name) {
  return L"HKEY_CURRENT_USER\\" + key + L"\\" + name;
}

base::ScopedHKEY OpenKey(const std::wstring& key, REGSAM access) {
  base::ScopedHKEY handle;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, access,
                      handle.Receive()) != ERROR_SUCCESS) {
    handle.reset();
  }
  return handle;
}

base::ScopedHKEY OpenOrCreateKeyForWriting(const std::wstring& key) {
  base::ScopedHKEY handle = OpenKey(key, KEY_WRITE);
  if (handle)
    return handle;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        handle.Receive(), nullptr) != ERROR_SUCCESS) {
    handle.reset();
  }
  return handle;
}

enum class ReadResult { kRead, kAbsent, kFailed };

// Reads a REG_SZ value whole. The stored data need not end with a NUL, and
// the value may grow between the size query and the read.
ReadResult ReadString(HKEY key, const std::wstring& name, std::wstring* out) {
  std::vector<BYTE> data;
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD type = 0;
    DWORD size = 0;
    LONG result =
        ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (result == ERROR_FILE_NOT_FOUND)
      return ReadResult::kAbsent;
    if (result != ERROR_SUCCESS || type != REG_SZ)
      return ReadResult::kFailed;
    data.resize(size + sizeof(wchar_t));
    size = static_cast<DWORD>(data.size());
    result = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(),
                                &size);
    if (result == ERROR_MORE_DATA)
      continue;
    if (result == ERROR_FILE_NOT_FOUND)
      return ReadResult::kAbsent;
    if (result != ERROR_SUCCESS || type != REG_SZ)
      return ReadResult::kFailed;
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()),
                      size / sizeof(wchar_t));
    // Drop the terminator and anything a writer left after it.
    size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos)
      text.resize(nul);
    *out = std::move(text);
    return ReadResult::kRead;
  }
  return ReadResult::kFailed;
}

}  // namespace

bool StoreValueInRegistry(const std::wstring& key,
                          const std::wstring& name,
                          const std::wstring& value) {
  base::ScopedHKEY handle = OpenOrCreateKeyForWriting(key);
  const DWORD size = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  const bool stored =
      handle && ::RegSetValueExW(handle.get(), name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(value.c_str()),
                                 size) == ERROR_SUCCESS;
  LOG(INFO) << (stored ? "Stored " : "Failed to store ") << ValuePath(key, name)
            << " = " << value;
  return stored;
}

bool ReadValueFromRegistry(const std::wstring& key,
                           const std::wstring& name,
                           std::wstring* value) {
  base::ScopedHKEY handle = OpenKey(key, KEY_READ);
  std::wstring text;
  const ReadResult result =
      handle ? ReadString(handle.get(), name, &text) : ReadResult::kFailed;
  switch (result) {
    case ReadResult::kRead:
      LOG(INFO) << "Read " << ValuePath(key, name) << " which is \"" << text
                << "\"";
      *value = std::move(text);
      return true;
    case ReadResult::kAbsent:
      LOG(INFO) << "No value to read: " << ValuePath(key, name);
      return false;
    case ReadResult::kFailed:
      LOG(INFO) << "Failed to read " << ValuePath(key, name);
      return false;
  }
  return false;
}

bool RemoveValueFromRegistry(const std::wstring& key,
                             const std::wstring& name) {
  base::ScopedHKEY handle = OpenOrCreateKeyForWriting(key);
  const LONG result = handle ? ::RegDeleteValueW(handle.get(), name.c_str())
                             : ERROR_INVALID_HANDLE;
  if (result == ERROR_SUCCESS) {
    LOG(INFO) << "Removed " << ValuePath(key, name);
    return true;
  }
  if (result == ERROR_FILE_NOT_FOUND)
    LOG(INFO) << "No value to remove: " << ValuePath(key, name);
  else
    LOG(INFO) << "Failed to remove " << ValuePath(key, name);
  return false;
}

bool StoreProductValue(const std::wstring& name, const std::wstring& value) {
  return StoreValueInRegistry(GetProductKey(), name, value);
}

std::wstring ReadProductValue(const std::wstring& name) {
  std::wstring value;
  if (!ReadValueFromRegistry(GetProductKey(), name, &value))
    return std::wstring();
  return value;
}

bool RemoveProductValue(const std::wstring& name) {
  return RemoveValueFromRegistry(GetProductKey(), name);
}

std::wstring ReadFilePathFromRegistry(const std::wstring& name) {
  std::wstring path = ReadProductValue(name);
  if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
    path.clear();
  LOG(INFO) << "Read " << ValuePath(GetProductKey(), name) << " which is \""
            << path << "\"";
  return path;
}

}  // namespace installer
