#ifndef CRASH_FILE_READER_H_
#define CRASH_FILE_READER_H_

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/scoped_handle.h"

namespace crashpad {

// A file opened for reading. It shares reading and writing, so that a file
// another handle still writes can be read.
class FileReader {
 public:
  FileReader() = default;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // Opens an existing file; false (nothing reported) when it cannot.
  bool Open(const std::wstring& path);
  void Close() { file_.reset(); }
  bool is_open() const { return file_.is_valid(); }

  // Reads from the current position: the count, 0 at the end, -1 on error
  // (reported as "ReadFile").
  int64_t Read(void* buffer, size_t size);

 private:
  base::ScopedFileHandle file_;
};

}  // namespace crashpad

#endif  // CRASH_FILE_READER_H_
