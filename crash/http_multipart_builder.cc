#include "crash/http_multipart_builder.h"

#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/platform_log.h"
#include "crash/http_body_gzip.h"

// advapi32's RtlGenRandom.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

namespace crashpad {

namespace {

constexpr char kBoundaryAlphabet[] =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr char kCrlf[] = "\r\n";
// An invalid content type ends the process with this code.
constexpr UINT kInvalidContentTypeExitCode = 0xC000000D;  // invalid parameter

// A uniform index below `bound`, from the system's random generator.
uint32_t RandomIndex(uint32_t bound) {
  // Values at or above the largest multiple of `bound` are drawn again, so
  // that every index is equally likely.
  const uint32_t limit = UINT32_MAX - UINT32_MAX % bound;
  for (;;) {
    uint32_t value = 0;
    if (!SystemFunction036(&value, sizeof(value)))
      value = ::GetTickCount() ^ (::GetCurrentThreadId() << 16);
    if (value < limit)
      return value % bound;
  }
}

std::string MakeBoundary() {
  std::string boundary = "---MultipartBoundary-";
  for (int i = 0; i < 32; ++i)
    boundary.push_back(kBoundaryAlphabet[RandomIndex(sizeof(kBoundaryAlphabet) - 1)]);
  boundary += "---";
  return boundary;
}

bool IsValidContentType(const std::string& type) {
  for (unsigned char c : type) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                    (c >= '0' && c <= '9') || c == '.' || c == '/' ||
                    c == '+' || c == '-' || c == '_';
    if (!ok)
      return false;
  }
  return true;
}

std::string DispositionLine(const std::string& name) {
  return "Content-Disposition: form-data; name=\"" + EncodeMultipartName(name) +
         "\"";
}

}  // namespace

std::string EncodeMultipartName(const std::string& name) {
  std::string encoded;
  encoded.reserve(name.size());
  for (char c : name) {
    switch (c) {
      case '\n':
      case '\r':
      case '"':
      case '%': {
        char escape[4];
        std::snprintf(escape, sizeof(escape), "%%%02x",
                      static_cast<unsigned char>(c));
        encoded += escape;
        break;
      }
      default:
        encoded.push_back(c);
    }
  }
  return encoded;
}

MultipartBodyBuilder::MultipartBodyBuilder() : boundary_(MakeBoundary()) {}

void MultipartBodyBuilder::SetFormField(const std::string& name,
                                        const std::string& value) {
  form_fields_[name] = value;
  attachments_.erase(name);
}

void MultipartBodyBuilder::SetFileAttachment(const std::string& name,
                                             const std::string& file_name,
                                             FileReader* reader,
                                             const std::string& content_type) {
  if (!IsValidContentType(content_type)) {
    base::PlatformLogError("invalid content type " + content_type);
    ::TerminateProcess(::GetCurrentProcess(), kInvalidContentTypeExitCode);
  }
  attachments_[name] = Attachment{file_name, reader, content_type};
  form_fields_.erase(name);
}

void MultipartBodyBuilder::GetContentHeaders(HttpHeaders* headers) const {
  (*headers)["Content-Type"] = "multipart/form-data; boundary=" + boundary_;
  if (gzip_enabled_)
    (*headers)["Content-Encoding"] = "gzip";
}

std::unique_ptr<BodyStream> MultipartBodyBuilder::GetBodyStream() const {
  const std::string boundary_line = "--" + boundary_ + kCrlf;
  std::vector<std::unique_ptr<BodyStream>> parts;
  for (const auto& [name, value] : form_fields_) {
    parts.push_back(std::make_unique<StringBodyStream>(
        boundary_line + DispositionLine(name) + kCrlf + kCrlf + value + kCrlf));
  }
  for (const auto& [name, attachment] : attachments_) {
    parts.push_back(std::make_unique<StringBodyStream>(
        boundary_line + DispositionLine(name) + "; filename=\"" +
        EncodeMultipartName(attachment.file_name) + "\"" + kCrlf +
        "Content-Type: " + attachment.content_type + kCrlf + kCrlf));
    parts.push_back(std::make_unique<FileBodyStream>(attachment.reader));
    parts.push_back(std::make_unique<StringBodyStream>(kCrlf));
  }
  parts.push_back(
      std::make_unique<StringBodyStream>("--" + boundary_ + "--" + kCrlf));
  std::unique_ptr<BodyStream> body =
      std::make_unique<ChainedBodyStream>(std::move(parts));
  if (gzip_enabled_)
    body = std::make_unique<GzipBodyStream>(std::move(body));
  return body;
}

}  // namespace crashpad
