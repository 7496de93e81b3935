// The data files setup receives besides the archive: the initial
// preferences, the distribution identifiers, the website icon and the A/B-test
// configuration. Whatever no switch named is written from our own resources.

#include "chrome/installer/lite_installer/installer.h"

#include "base/scoped_handle.h"
#include "logging/file_logger.h"

namespace {

// Custom resource type of the data files.
constexpr wchar_t kDataResourceType[] = L"BIN";
constexpr wchar_t kAbtConfigResource[] = L"ABT_CONFIG";
constexpr wchar_t kAbtConfigFileName[] = L"abt_config_resource";

// Writes the "BIN" resource `name` of this program to `path`, byte for byte;
// an absent resource gives an empty file. True when the resource exists, is
// not empty and every byte reached the file. A file that cannot be written
// whole is deleted again: setup finds the whole resource or no file.
bool WriteDataResource(const wchar_t* name, const std::wstring& path) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  const void* bytes = nullptr;
  DWORD size = 0;
  if (HRSRC resource = ::FindResourceW(module, name, kDataResourceType)) {
    if (HGLOBAL loaded = ::LoadResource(module, resource)) {
      bytes = ::LockResource(loaded);
      size = bytes ? ::SizeofResource(module, resource) : 0;
    }
  }

  // No sharing: nobody reads the file before it is whole.
  base::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0,
                                            nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_valid()) {
    PLOG(ERROR) << "Cannot create the installer data file " << path;
    return false;
  }
  DWORD written = 0;
  if (size != 0 &&
      (!::WriteFile(file.get(), bytes, size, &written, nullptr) ||
       written != size)) {
    // A short write without an error code is a full disk.
    const DWORD error =
        ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_DISK_FULL;
    PLOG_CODE(ERROR, error) << "Cannot write the installer data file " << path
                            << " (" << written << " of " << size
                            << " bytes written)";
    file.reset();
    ::DeleteFileW(path.c_str());
    return false;
  }
  return size != 0;
}

}  // namespace

bool Installer::ExtractResourceById(int id, const std::wstring& path) {
  return WriteDataResource(MAKEINTRESOURCEW(id), path);
}

bool Installer::ExtractResourceByName(const wchar_t* name,
                                      const std::wstring& path) {
  return WriteDataResource(name, path);
}

void Installer::ExtractInstallerDataIfAbsent(const std::wstring& dir) {
  struct DataFile {
    std::wstring Installer::*path;
    int resource_id;
    const wchar_t* file_name;
  };
  static constexpr DataFile kDataFiles[] = {
      {&Installer::installer_data_path_, 305, L"master_preferences"},
      {&Installer::clids_file_path_, 306, L"clids.xml"},
      {&Installer::website_icon_path_, 323, L"website.ico"},
  };
  // `dir` ends with a backslash. A path named by a switch is setup's to
  // read as it is, even when no file is there; a failed extraction keeps its
  // path too.
  for (const DataFile& data_file : kDataFiles) {
    std::wstring& path = this->*data_file.path;
    if (!path.empty())
      continue;
    path = dir + data_file.file_name;
    if (!ExtractResourceById(data_file.resource_id, path))
      LOG(WARNING) << "Failed to extract resource " << data_file.resource_id;
  }
  // Setup only gets an A/B-test configuration that was written.
  if (abt_config_path_.empty()) {
    abt_config_path_ = dir + kAbtConfigFileName;
    if (!ExtractResourceByName(kAbtConfigResource, abt_config_path_)) {
      LOG(WARNING) << "Failed to extract resource abt_config_resource";
      abt_config_path_.clear();
    }
  }
}
