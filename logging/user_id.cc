#include "logging/user_id.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "base/file_util.h"
#include "base/scoped_handle.h"
#include "base/strings.h"
#include "base/windows_version.h"
#include "logging/file_logger.h"

namespace broupdater {
namespace {

constexpr wchar_t kCompanyFolder[] = L"Norvel";
constexpr wchar_t kUserIdFileName[] = L"ui";
constexpr wchar_t kMarkerKey[] = L"Software\\Norvel";
constexpr wchar_t kLowIntegrityMarkerKey[] = L"Software\\AppDataLow\\Norvel";
constexpr DWORD kMaxUserIdFileSize = 65;
constexpr size_t kMaxUserIdLength = 64;

bool IsVistaOrLater() {
  return base::GetWindowsVersionClass() >= base::kWinVista;
}

// The marker is written where a low-integrity process of the product can
// read it too.
const wchar_t* MarkerKeyPath() {
  return IsVistaOrLater() ? kLowIntegrityMarkerKey : kMarkerKey;
}

bool GetMarkerName(std::wstring* name) {
  wchar_t user[257];
  DWORD size = 257;
  if (!::GetUserNameW(user, &size))
    return false;
  *name = std::wstring(L"UICreated_") + user;
  return true;
}

bool RegistryValueExist(HKEY root,
                        const wchar_t* key_path,
                        const std::wstring& value_name) {
  base::ScopedHKEY key;
  LONG result = ::RegOpenKeyExW(root, key_path, 0, KEY_READ, key.Receive());
  if (result != ERROR_SUCCESS) {
    if (result != ERROR_FILE_NOT_FOUND) {
      PLOG_CODE(ERROR, static_cast<DWORD>(result))
          << "Can't open registry key: " << key_path;
    }
    return false;
  }
  return ::RegQueryValueExW(key.get(), value_name.c_str(), nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS;
}

// False when the file is unreadable or longer than an identifier file can
// be.
bool ReadUserIdFromFile(const std::wstring& path, std::string* content) {
  // Another installer may be rewriting the file.
  base::FileReadResult result = base::ReadFileContents(
      path, kMaxUserIdFileSize, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (!result.ok()) {
    LOG(ERROR) << "Failed to read file " << path;
    return false;
  }
  *content = std::move(result.bytes);
  return true;
}

bool GenerateAndStoreUserId(std::string* id) {
  GUID guid;
  if (FAILED(::CoCreateGuid(&guid)))
    return false;
  wchar_t text[40];
  if (!::StringFromGUID2(guid, text, 40))
    return false;
  const std::string new_id = base::WideToUTF8(text);

  const std::wstring path = GetUserIdFilePath(true);
  if (path.empty())
    return false;
  if (base::WriteFileContents(path, new_id) != ERROR_SUCCESS) {
    LOG(ERROR) << "Can't write file " << path;
    return false;
  }
  if (!RememberUidIsCreated()) {
    // The file stays: the next run reads it.
    LOG(ERROR) << "Can't create 'UI created' entry";
    return false;
  }
  *id = new_id;
  return true;
}

std::string GetUserIdInternal() {
  const std::wstring path = GetUserIdFilePath(false);
  if (!path.empty() &&
      ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    std::string content;
    if (ReadUserIdFromFile(path, &content)) {
      if (!content.empty() && content.size() <= kMaxUserIdLength)
        return content;
      LOG(ERROR) << "Incorrect User ID file content";
    }
  }
  if (UidMarkerExists()) {
    LOG(INFO) << "Registry entry already exists, skip User ID file generation";
    return std::string();
  }
  std::string id;
  if (GenerateAndStoreUserId(&id))
    return id;
  return std::string();
}

bool CreateDirectoryTree(const std::wstring& dir) {
  DWORD attributes = ::GetFileAttributesW(dir.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  size_t sep = dir.find_last_of(L"\\/");
  if (sep != std::wstring::npos && sep > 2 &&
      !CreateDirectoryTree(dir.substr(0, sep))) {
    return false;
  }
  return ::CreateDirectoryW(dir.c_str(), nullptr) ||
         ::GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

std::string GetUserId() {
  std::string id = GetUserIdInternal();
  if (id.size() >= 2 && id.front() == '{' && id.back() == '}')
    return id.substr(1, id.size() - 2);
  return id;
}

std::wstring GetUserIdFilePath(bool create_directory) {
  wchar_t folder[MAX_PATH];
  if (!::SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA,
                                 create_directory)) {
    PLOG(ERROR) << "Can't get path to AppData folder";
    return std::wstring();
  }
  std::wstring dir = folder;
  if (!dir.empty() && dir.back() != L'\\')
    dir.push_back(L'\\');
  dir += kCompanyFolder;
  if (create_directory && !CreateDirectoryTree(dir)) {
    PLOG(ERROR) << "Can't create directory: " << dir;
    return std::wstring();
  }
  return dir + L"\\" + kUserIdFileName;
}

bool RememberUidIsCreated() {
  std::wstring name;
  if (!GetMarkerName(&name))
    return false;
  const wchar_t* key_path = MarkerKeyPath();
  base::ScopedHKEY key;
  LONG result =
      ::RegCreateKeyExW(HKEY_CURRENT_USER, key_path, 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, key.Receive(), nullptr);
  if (result != ERROR_SUCCESS) {
    PLOG_CODE(ERROR, static_cast<DWORD>(result))
        << "Can't open registry key: " << key_path;
    return false;
  }
  const DWORD one = 1;
  result = ::RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&one), sizeof(one));
  if (result != ERROR_SUCCESS) {
    PLOG_CODE(ERROR, static_cast<DWORD>(result))
        << "Can't create registry value '" << name << "' at '" << key_path;
    return false;
  }
  return true;
}

bool UidMarkerExists() {
  std::wstring name;
  if (!GetMarkerName(&name))
    return false;
  if (RegistryValueExist(HKEY_CURRENT_USER, kMarkerKey, name))
    return true;
  return IsVistaOrLater() &&
         RegistryValueExist(HKEY_CURRENT_USER, kLowIntegrityMarkerKey, name);
}

std::string NewGuidString() {
  GUID guid;
  if (FAILED(::CoCreateGuid(&guid)))
    return std::string();
  wchar_t text[40];
  if (!::StringFromGUID2(guid, text, 40))
    return std::string();
  std::string id = base::WideToUTF8(text);
  return id.substr(1, id.size() - 2);
}

}  // namespace broupdater
