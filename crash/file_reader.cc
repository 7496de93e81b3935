#include "crash/file_reader.h"

#include "crash/file_io_win.h"

namespace crashpad {

bool FileReader::Open(const std::wstring& path) {
  file_.reset(::CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file_.is_valid();
}

int64_t FileReader::Read(void* buffer, size_t size) {
  return ReadFileOnce(file_.get(), buffer, size);
}

}  // namespace crashpad
