#ifndef CRASH_HTTP_MULTIPART_BUILDER_H_
#define CRASH_HTTP_MULTIPART_BUILDER_H_

#include <map>
#include <memory>
#include <string>

#include "crash/http_body.h"

namespace crashpad {

class FileReader;

using HttpHeaders = std::map<std::string, std::string>;

// Builds a multipart/form-data body: form fields and file attachments, each
// sorted by name, optionally gzip-compressed.
class MultipartBodyBuilder {
 public:
  // "---MultipartBoundary-" + 32 random letters and digits + "---".
  static constexpr size_t kBoundaryLength = 56;

  MultipartBodyBuilder();
  MultipartBodyBuilder(const MultipartBodyBuilder&) = delete;
  MultipartBodyBuilder& operator=(const MultipartBodyBuilder&) = delete;

  void SetGzipEnabled(bool enabled) { gzip_enabled_ = enabled; }
  // Adds or replaces a field; drops an attachment of the same name.
  void SetFormField(const std::string& name, const std::string& value);
  // Adds or replaces an attachment; drops a field of the same name. The
  // reader is borrowed: it must stay open until the body has been read. A
  // content type with characters other than ASCII letters, digits and
  // "./+-_" is a programming error and ends the process.
  void SetFileAttachment(const std::string& name,
                         const std::string& file_name,
                         FileReader* reader,
                         const std::string& content_type);
  // "Content-Type" and, when compressing, "Content-Encoding".
  void GetContentHeaders(HttpHeaders* headers) const;
  // The whole body as a new stream.
  std::unique_ptr<BodyStream> GetBodyStream() const;

  const std::string& boundary() const { return boundary_; }

 private:
  struct Attachment {
    std::string file_name;
    FileReader* reader;
    std::string content_type;
  };

  std::string boundary_;
  std::map<std::string, std::string> form_fields_;
  std::map<std::string, Attachment> attachments_;
  bool gzip_enabled_ = false;
};

// A name or file name as it appears between the quotes of a
// Content-Disposition line: LF, CR, '"' and '%' as "%0a", "%0d", "%22",
// "%25"; every other byte as is.
std::string EncodeMultipartName(const std::string& name);

}  // namespace crashpad

#endif  // CRASH_HTTP_MULTIPART_BUILDER_H_
