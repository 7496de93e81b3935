#ifndef CHROME_INSTALLER_NORVEL_UTIL_NETWORK_DOWNLOAD_SINK_H_
#define CHROME_INSTALLER_NORVEL_UTIL_NETWORK_DOWNLOAD_SINK_H_

#include <windows.h>

#include <cstdint>
#include <string>

namespace installer {

// Receives a download's body piece by piece.
class DownloadSink {
 public:
  DownloadSink() = default;
  DownloadSink(const DownloadSink&) = delete;
  DownloadSink& operator=(const DownloadSink&) = delete;

  // Accepts the next piece of the body.
  virtual bool Write(const void* bytes, uint32_t count) = 0;
  // Discards everything written so far.
  virtual bool Reset() = 0;
  virtual ~DownloadSink() = default;

  // Bytes accepted since construction or the last Reset. A download that
  // starts on a sink holding bytes resumes at this offset.
  uint32_t bytes_written() const { return bytes_written_; }

 protected:
  uint32_t bytes_written_ = 0;
};

// Writes to an open file handle that the caller owns.
class FileDownloadSink : public DownloadSink {
 public:
  explicit FileDownloadSink(HANDLE file) : file_(file) {}

  // Succeeds only when every byte was written.
  bool Write(const void* bytes, uint32_t count) override;
  // Truncates the file to zero length.
  bool Reset() override;

 private:
  HANDLE file_;
};

// Appends to a byte string.
class MemoryDownloadSink : public DownloadSink {
 public:
  bool Write(const void* bytes, uint32_t count) override;
  bool Reset() override;

  const std::string& data() const { return data_; }
  std::string TakeData() {
    bytes_written_ = 0;
    return std::move(data_);
  }

 private:
  std::string data_;
};

}  // namespace installer

#endif  // CHROME_INSTALLER_NORVEL_UTIL_NETWORK_DOWNLOAD_SINK_H_
