#ifndef BASE_FILE_UTIL_H_
#define BASE_FILE_UTIL_H_

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace base {

// Whole-file reads and writes through owned handles. Nothing here logs: a
// failure comes back as the step that failed and its system error code, so
// that each caller keeps its own log lines.

// The step of a whole-file read that failed.
enum class FileReadStep {
  kNone,      // the read succeeded
  kOpen,      // CreateFileW
  kSize,      // GetFileSizeEx
  kTooLarge,  // the file holds more than the caller allows
              // (ERROR_FILE_TOO_LARGE)
  kRead,      // ReadFile failed, or the file shrank (ERROR_HANDLE_EOF)
};

struct FileReadResult {
  std::string bytes;
  FileReadStep failed_step = FileReadStep::kNone;
  // The system error code of the failed step; ERROR_SUCCESS on success.
  DWORD error = ERROR_SUCCESS;
  // The file's size once known (also when it is above the limit).
  uint64_t size = 0;

  bool ok() const { return failed_step == FileReadStep::kNone; }
};

// Reads the whole of `path` when it holds at most `max_bytes` (never more
// than one 32-bit read's worth). `share_mode` is CreateFileW's: readers of a
// file that another process may be rewriting pass FILE_SHARE_WRITE as well.
FileReadResult ReadFileContents(const std::wstring& path,
                                uint64_t max_bytes,
                                DWORD share_mode = FILE_SHARE_READ);

// Creates or truncates `path` and writes `bytes`. ERROR_SUCCESS, or the
// system error code of the failed step (ERROR_WRITE_FAULT for a short write).
DWORD WriteFileContents(const std::wstring& path, std::string_view bytes);

// The size of a file that can be opened for reading; no value when it
// cannot.
std::optional<uint64_t> GetReadableFileSize(const std::wstring& path);

// Deletes `path`, a directory, with everything in it. False when anything
// could not be deleted (the rest is deleted all the same).
bool DeleteDirectoryTree(const std::wstring& path);

}  // namespace base

#endif  // BASE_FILE_UTIL_H_
