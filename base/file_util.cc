#include "base/file_util.h"

#include <algorithm>

#include "base/scoped_handle.h"

namespace base {

namespace {

FileReadResult Failed(FileReadStep step, DWORD error, uint64_t size) {
  FileReadResult result;
  result.failed_step = step;
  result.error = error;
  result.size = size;
  return result;
}

}  // namespace

FileReadResult ReadFileContents(const std::wstring& path,
                                uint64_t max_bytes,
                                DWORD share_mode) {
  ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, share_mode,
                                      nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.is_valid())
    return Failed(FileReadStep::kOpen, ::GetLastError(), 0);
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file.get(), &size))
    return Failed(FileReadStep::kSize, ::GetLastError(), 0);
  const uint64_t file_size = static_cast<uint64_t>(size.QuadPart);
  // One ReadFile takes at most 32 bits of size; the callers' files are far
  // smaller, and a larger one is not read into memory at all.
  if (file_size > std::min<uint64_t>(max_bytes, MAXDWORD))
    return Failed(FileReadStep::kTooLarge, ERROR_FILE_TOO_LARGE, file_size);

  FileReadResult result;
  result.size = file_size;
  result.bytes.resize(static_cast<size_t>(file_size));
  size_t done = 0;
  while (done < result.bytes.size()) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), result.bytes.data() + done,
                    static_cast<DWORD>(result.bytes.size() - done), &read,
                    nullptr)) {
      return Failed(FileReadStep::kRead, ::GetLastError(), file_size);
    }
    // The file shrank while it was read.
    if (read == 0)
      return Failed(FileReadStep::kRead, ERROR_HANDLE_EOF, file_size);
    done += read;
  }
  return result;
}

DWORD WriteFileContents(const std::wstring& path, std::string_view bytes) {
  ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  if (!file.is_valid())
    return ::GetLastError();
  DWORD written = 0;
  if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                   &written, nullptr)) {
    return ::GetLastError();
  }
  return written == bytes.size() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

std::optional<uint64_t> GetReadableFileSize(const std::wstring& path) {
  ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      0, nullptr));
  LARGE_INTEGER size = {};
  if (!file.is_valid() || !::GetFileSizeEx(file.get(), &size))
    return std::nullopt;
  return static_cast<uint64_t>(size.QuadPart);
}

bool DeleteDirectoryTree(const std::wstring& path) {
  bool all_deleted = true;
  WIN32_FIND_DATAW found;
  ScopedFindHandle find(::FindFirstFileW((path + L"\\*").c_str(), &found));
  if (find) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..")
        continue;
      const std::wstring child = path + L"\\" + name;
      // A link to a directory is removed, not followed.
      const bool is_directory =
          (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
      if (is_directory) {
        all_deleted &= DeleteDirectoryTree(child);
      } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        all_deleted &= ::RemoveDirectoryW(child.c_str()) != FALSE;
      } else {
        all_deleted &= ::DeleteFileW(child.c_str()) != FALSE;
      }
    } while (::FindNextFileW(find.get(), &found));
  }
  return ::RemoveDirectoryW(path.c_str()) != FALSE && all_deleted;
}

}  // namespace base
