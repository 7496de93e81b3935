#ifndef TEST_SUPPORT_SCRIPTED_BODY_STREAM_H_
#define TEST_SUPPORT_SCRIPTED_BODY_STREAM_H_

#include <cstdint>
#include <string>
#include <vector>

#include "crash/http_body.h"

namespace test {

// A body stream that answers its reads from a script: each entry is a count
// of bytes to hand out (pattern bytes, byte i of the stream is i % 251), or
// -1 for an error. After the script it reports the end.
class ScriptedBodyStream : public crashpad::BodyStream {
 public:
  explicit ScriptedBodyStream(std::vector<int64_t> script)
      : script_(std::move(script)) {}

  int64_t Read(uint8_t* buffer, size_t capacity) override {
    ++reads_;
    if (next_ >= script_.size())
      return 0;
    const int64_t n = script_[next_++];
    if (n < 0)
      return -1;
    if (static_cast<size_t>(n) > capacity)
      return -1;  // the script asked for more than the caller can take
    for (int64_t i = 0; i < n; ++i)
      buffer[i] = static_cast<uint8_t>((position_ + i) % 251);
    position_ += n;
    return n;
  }

  int reads() const { return reads_; }

 private:
  std::vector<int64_t> script_;
  size_t next_ = 0;
  int64_t position_ = 0;
  int reads_ = 0;
};

// Everything a stream hands out, read `read_size` bytes at a time; stops at
// the first error and sets `error` then.
inline std::string ReadWholeStream(crashpad::BodyStream* stream,
                                   size_t read_size,
                                   bool* error = nullptr) {
  std::string data;
  std::vector<uint8_t> buffer(read_size);
  if (error)
    *error = false;
  for (;;) {
    const int64_t n = stream->Read(buffer.data(), buffer.size());
    if (n < 0) {
      if (error)
        *error = true;
      return data;
    }
    if (n == 0)
      return data;
    data.append(reinterpret_cast<const char*>(buffer.data()),
                static_cast<size_t>(n));
  }
}

}  // namespace test

#endif  // TEST_SUPPORT_SCRIPTED_BODY_STREAM_H_
