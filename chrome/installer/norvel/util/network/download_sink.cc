#include "chrome/installer/norvel/util/network/download_sink.h"

namespace installer {

bool FileDownloadSink::Write(const void* bytes, uint32_t count) {
  DWORD written = 0;
  if (!::WriteFile(file_, bytes, count, &written, nullptr) || written != count)
    return false;
  bytes_written_ += count;
  return true;
}

bool FileDownloadSink::Reset() {
  LARGE_INTEGER zero = {};
  if (!::SetFilePointerEx(file_, zero, nullptr, FILE_BEGIN) ||
      !::SetEndOfFile(file_)) {
    return false;
  }
  bytes_written_ = 0;
  return true;
}

bool MemoryDownloadSink::Write(const void* bytes, uint32_t count) {
  data_.append(static_cast<const char*>(bytes), count);
  bytes_written_ += count;
  return true;
}

bool MemoryDownloadSink::Reset() {
  data_.clear();
  bytes_written_ = 0;
  return true;
}

}  // namespace installer
