#include "crash/http_body.h"

#include <algorithm>
#include <cstring>

#include "crash/file_reader.h"

namespace crashpad {

int64_t StringBodyStream::Read(uint8_t* buffer, size_t capacity) {
  const size_t n =
      std::min({capacity, kMaxReadSize, data_.size() - position_});
  std::memcpy(buffer, data_.data() + position_, n);
  position_ += n;
  return static_cast<int64_t>(n);
}

int64_t FileBodyStream::Read(uint8_t* buffer, size_t capacity) {
  if (at_end_)
    return 0;
  const int64_t n = reader_->Read(buffer, std::min(capacity, kMaxReadSize));
  if (n == 0)
    at_end_ = true;
  return n;
}

int64_t ChainedBodyStream::Read(uint8_t* buffer, size_t capacity) {
  capacity = std::min(capacity, kMaxReadSize);
  size_t filled = 0;
  while (filled < capacity && current_ < parts_.size()) {
    const int64_t n = parts_[current_]->Read(buffer + filled, capacity - filled);
    if (n < 0)
      return -1;
    if (n == 0)
      ++current_;
    else
      filled += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(filled);
}

}  // namespace crashpad
