#ifndef CRASH_HTTP_TRANSPORT_WIN_H_
#define CRASH_HTTP_TRANSPORT_WIN_H_

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>

#include "crash/http_body.h"
#include "crash/http_multipart_builder.h"

namespace crashpad {

// One synchronous HTTP request over WinHTTP, its body sent with chunked
// transfer encoding. Failures go to the platform log, never to the
// installer's log file: the transport runs inside a crashed process.
class UploadTransport {
 public:
  // Chunks carry at most this many body bytes.
  static constexpr size_t kChunkSize = 32768;

  static std::unique_ptr<UploadTransport> Create();
  UploadTransport(const UploadTransport&) = delete;
  UploadTransport& operator=(const UploadTransport&) = delete;

  void SetMethod(const std::string& method) { method_ = method; }
  void SetUrl(const std::string& url) { url_ = url; }
  void SetHeader(const std::string& name, const std::string& value) {
    headers_[name] = value;
  }
  void SetBodyStream(std::unique_ptr<BodyStream> stream) {
    body_stream_ = std::move(stream);
  }
  // Per stage: name resolution, connecting, sending, receiving.
  void SetTimeout(double seconds) { timeout_ = seconds; }

  // Sends the request and reads the answer into `response_body`. True only
  // when every step worked and the status was 200.
  bool Execute(std::string* response_body);

  // Test programs only: sees every buffer exactly as it is handed to
  // WinHttpWriteData (null removes the observer).
  using WriteObserver = void (*)(const void* data, size_t size, void* context);
  static void SetWriteObserverForTesting(WriteObserver observer, void* context);

 private:
  UploadTransport() = default;

  std::string method_ = "POST";
  std::string url_;
  HttpHeaders headers_;
  std::unique_ptr<BodyStream> body_stream_;
  double timeout_ = 15.0;
};

// The user agent: "Crashpad/0.8.0 WinHTTP", then "/a.b.c.d" with winhttp's
// file version when known, then " Windows_NT/a.b.c.d (x86[; WoW64])" when
// kernel32's version is known and its file OS is 32-bit Windows NT.
std::string FormatUserAgent(const VS_FIXEDFILEINFO* winhttp_version,
                            const VS_FIXEDFILEINFO* kernel32_version,
                            bool wow64);
// The same for this process and system.
std::string UserAgent();

// The chunk-size line's number: lower-case hexadecimal, no leading zeros.
std::string ChunkSizeText(size_t size);

}  // namespace crashpad

#endif  // CRASH_HTTP_TRANSPORT_WIN_H_
