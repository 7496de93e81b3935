#ifndef CRASH_HTTP_BODY_GZIP_H_
#define CRASH_HTTP_BODY_GZIP_H_

#include <cstdint>
#include <memory>

#include "crash/http_body.h"

typedef struct z_stream_s z_stream;

namespace crashpad {

// The gzip-compressed form of another stream (zlib deflate: default level,
// deflate method, gzip wrapper, memory level 8, default strategy). A zlib
// failure is reported to the platform log ("deflate: MESSAGE (CODE)") and
// every later read returns -1.
class GzipBodyStream : public BodyStream {
 public:
  // How much of the wrapped stream is read at a time.
  static constexpr size_t kInputBufferSize = 4096;

  explicit GzipBodyStream(std::unique_ptr<BodyStream> source);
  ~GzipBodyStream() override;
  GzipBodyStream(const GzipBodyStream&) = delete;
  GzipBodyStream& operator=(const GzipBodyStream&) = delete;

  int64_t Read(uint8_t* buffer, size_t capacity) override;

 private:
  enum class State { kNotStarted, kCompressing, kInputExhausted, kFinished, kError };

  // Reports a zlib failure of `call` and enters the error state.
  int64_t Fail(const char* call, int code);

  std::unique_ptr<BodyStream> source_;
  std::unique_ptr<z_stream> z_;
  uint8_t input_[kInputBufferSize];
  State state_ = State::kNotStarted;
};

}  // namespace crashpad

#endif  // CRASH_HTTP_BODY_GZIP_H_
