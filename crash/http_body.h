#ifndef CRASH_HTTP_BODY_H_
#define CRASH_HTTP_BODY_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace crashpad {

class FileReader;

// A request body handed out piece by piece, front to back, once.
class BodyStream {
 public:
  // A capacity above this is read as this.
  static constexpr size_t kMaxReadSize = 0x7fffffff;

  virtual ~BodyStream() = default;

  // Places up to `capacity` bytes in `buffer`: the count (> 0); 0 when the
  // stream is exhausted (it stays so); -1 on error.
  virtual int64_t Read(uint8_t* buffer, size_t capacity) = 0;
};

// The bytes of one string.
class StringBodyStream : public BodyStream {
 public:
  explicit StringBodyStream(std::string data) : data_(std::move(data)) {}
  int64_t Read(uint8_t* buffer, size_t capacity) override;

 private:
  std::string data_;
  size_t position_ = 0;
};

// The bytes of an open file from its current position. The reader is
// borrowed and must outlive the stream.
class FileBodyStream : public BodyStream {
 public:
  explicit FileBodyStream(FileReader* reader) : reader_(reader) {}
  int64_t Read(uint8_t* buffer, size_t capacity) override;

 private:
  FileReader* reader_;
  bool at_end_ = false;
};

// Its parts one after the other. A part's error ends the read at once.
class ChainedBodyStream : public BodyStream {
 public:
  explicit ChainedBodyStream(std::vector<std::unique_ptr<BodyStream>> parts)
      : parts_(std::move(parts)) {}
  int64_t Read(uint8_t* buffer, size_t capacity) override;

 private:
  std::vector<std::unique_ptr<BodyStream>> parts_;
  size_t current_ = 0;
};

}  // namespace crashpad

#endif  // CRASH_HTTP_BODY_H_
