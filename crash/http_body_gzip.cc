#include "crash/http_body_gzip.h"

#include <zlib.h>

#include <algorithm>
#include <string>

#include "base/platform_log.h"

namespace crashpad {

namespace {
// deflateInit2's window bits: 15 (32 KiB window) + 16 for the gzip wrapper.
constexpr int kGzipWindowBits = 15 + 16;
constexpr int kMemoryLevel = 8;
}  // namespace

GzipBodyStream::GzipBodyStream(std::unique_ptr<BodyStream> source)
    : source_(std::move(source)) {}

GzipBodyStream::~GzipBodyStream() {
  if (state_ == State::kCompressing || state_ == State::kInputExhausted)
    deflateEnd(z_.get());
}

int64_t GzipBodyStream::Fail(const char* call, int code) {
  const bool open =
      state_ == State::kCompressing || state_ == State::kInputExhausted;
  std::string text(call);
  text += ": ";
  text += (z_ && z_->msg) ? z_->msg : zError(code);
  text += " (" + std::to_string(code) + ")";
  base::PlatformLogError(text);
  if (open && code != Z_OK && std::string_view(call) != "deflateEnd")
    deflateEnd(z_.get());
  state_ = State::kError;
  return -1;
}

int64_t GzipBodyStream::Read(uint8_t* buffer, size_t capacity) {
  switch (state_) {
    case State::kError:
      return -1;
    case State::kFinished:
      return 0;
    case State::kNotStarted: {
      z_ = std::make_unique<z_stream>();
      const int result =
          deflateInit2(z_.get(), Z_DEFAULT_COMPRESSION, Z_DEFLATED,
                       kGzipWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY);
      if (result != Z_OK)
        return Fail("deflateInit2", result);
      state_ = State::kCompressing;
      break;
    }
    default:
      break;
  }

  capacity = std::min(capacity, kMaxReadSize);
  // zlib counts in uInt; a capacity this large is handed out over calls.
  z_->next_out = buffer;
  z_->avail_out = static_cast<uInt>(std::min<size_t>(capacity, UINT32_MAX));
  const size_t out_size = z_->avail_out;
  while (z_->avail_out > 0) {
    if (state_ == State::kCompressing && z_->avail_in == 0) {
      const int64_t n = source_->Read(input_, sizeof(input_));
      if (n < 0) {
        deflateEnd(z_.get());
        state_ = State::kError;
        return -1;
      }
      if (n == 0) {
        state_ = State::kInputExhausted;
      } else {
        z_->next_in = input_;
        z_->avail_in = static_cast<uInt>(n);
      }
    }
    const int flush = state_ == State::kInputExhausted ? Z_FINISH : Z_NO_FLUSH;
    const int result = deflate(z_.get(), flush);
    if (result == Z_STREAM_END) {
      const int end = deflateEnd(z_.get());
      if (end != Z_OK) {
        state_ = State::kError;
        return Fail("deflateEnd", end);
      }
      state_ = State::kFinished;
      break;
    }
    // Z_BUF_ERROR only says that no progress was possible this round.
    if (result != Z_OK && result != Z_BUF_ERROR)
      return Fail("deflate", result);
  }
  return static_cast<int64_t>(out_size - z_->avail_out);
}

}  // namespace crashpad
