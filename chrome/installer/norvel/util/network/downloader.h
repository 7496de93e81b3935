#ifndef CHROME_INSTALLER_NORVEL_UTIL_NETWORK_DOWNLOADER_H_
#define CHROME_INSTALLER_NORVEL_UTIL_NETWORK_DOWNLOADER_H_

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "base/exception_guard.h"
#include "base/scoped_internet_handle.h"
#include "chrome/installer/norvel/util/network/download_observer.h"
#include "chrome/installer/norvel/util/network/download_sink.h"

namespace installer {

// Fetches one URL over WinINet with a plain GET and streams the body, 32 KiB
// at a time, to a sink. WinINet follows redirects; the last target is kept.
// Only status 200 counts as success. Every failure is described by a label
// ending in "-" and a number (see last_error()), which callers put into their
// logs and statistics:
//   internet_open-N, internet_open_url-N, internet_set_file_pointer-N,
//   internet_read-N, write_file-N, final_query_info-STATUS-N.
// One thread uses one Downloader.
class Downloader {
 public:
  static constexpr uint32_t kBufferSize = 0x8000;
  static constexpr wchar_t kUserAgent[] = L"Norvel.Browser lite installer";

  // Every wait on the network is bounded by these rather than by the
  // platform's defaults, which differ (Wine waits for a response without
  // limit). The values are the defaults Windows documents for WinINet, so
  // the program behaves there as it always did.
  struct Timeouts {
    DWORD connect_ms = 60000;
    DWORD send_ms = 30000;
    DWORD receive_ms = 30000;
  };

  Downloader();
  Downloader(const Downloader&) = delete;
  Downloader& operator=(const Downloader&) = delete;
  virtual ~Downloader();

  // Downloads into a temporary file and moves it to `target` on success.
  virtual bool DownloadToFile(const std::string& url,
                              const std::wstring& target,
                              HANDLE stop_event);
  virtual bool DownloadToString(const std::string& url,
                                HANDLE stop_event,
                                std::string* body);
  // Opens the session and the request. A sink that already holds bytes makes
  // the download resume at that offset. True when a request exists.
  virtual bool OpenDownload(const std::wstring& url, DownloadSink* sink);
  // Reads one piece and hands it to the sink; 0 at the end or on failure.
  virtual uint32_t ReadChunk();
  // True only when nothing failed, the status is 200 and the sink holds the
  // whole body (IsBodyComplete). `status` (may be null) receives the status
  // on failure.
  virtual bool FinalizeDownload(DWORD* status);

  // Value of a response header of the current request, empty when absent.
  std::string QueryResponseHeader(const std::string& name);

  // The common loop; `stop_event` (may be null) is polled between pieces.
  // A download cut short by it fails.
  bool Download(const std::string& url, HANDLE stop_event, DownloadSink* sink);

  const std::wstring& url() const { return url_; }
  const std::wstring& last_error() const { return last_error_; }
  const base::ExceptionRecord& exception() const { return exception_; }
  const std::wstring& final_url() const { return final_url_; }
  uint32_t content_length() const { return content_length_; }

  const Timeouts& timeouts() const { return timeouts_; }
  // Set before OpenDownload: callers that must not wait as long as a
  // download of the archive may (the slides) bound their waits themselves.
  void set_timeouts(const Timeouts& timeouts) { timeouts_ = timeouts; }
  // Each ReadChunk returns what has arrived instead of waiting for a full
  // buffer (which Wine does, so that a trickling body held one read for as
  // long as it trickled): each read then waits at most the receive time-out.
  void set_read_what_has_arrived(bool on) { read_what_has_arrived_ = on; }
  void set_timeouts_for_testing(const Timeouts& timeouts) {
    timeouts_ = timeouts;
  }

 private:
  static void CALLBACK StatusCallback(HINTERNET handle,
                                      DWORD_PTR context,
                                      DWORD status,
                                      void* info,
                                      DWORD info_length);
  void SetError(const wchar_t* label, DWORD error);
  // The response status, or nullopt-like false when it cannot be read.
  bool QueryStatus(DWORD* status) const;
  // Applies timeouts_ to a session or request handle; false when WinINet
  // refuses one of them.
  bool SetTimeouts(HINTERNET handle) const;

  std::wstring url_;
  std::wstring last_error_;
  base::ExceptionRecord exception_;
  std::wstring final_url_;
  uint32_t content_length_ = 0;
  DownloadSink* sink_ = nullptr;
  base::ScopedInternetHandle internet_;
  base::ScopedInternetHandle request_;
  std::unique_ptr<uint8_t[]> buffer_;
  Timeouts timeouts_;
  bool read_what_has_arrived_ = false;
};

// Whether a download's body is complete: `held` counts every byte the sink
// holds, bytes kept from an earlier attempt that this one resumed included;
// `content_length` is the announced length of the whole resource, 0 when
// none was announced (whatever arrived is then the body). A connection
// dropped mid-body may read as a clean end, so a sink holding less than the
// length is short; one holding more holds something else than the resource.
bool IsBodyComplete(uint64_t held, uint32_t content_length);

// Moves a fresh request's read position to `offset` and returns the new
// position, or INVALID_SET_FILE_POINTER: InternetSetFilePointer in the
// product. Wine cannot resume at all (the call fails with 12016), so tests
// that need a resume that works install their own. Null restores the
// platform's; set it before any download starts.
using ResumeFunction = DWORD (*)(HINTERNET request, DWORD offset);
void SetResumeFunctionForTesting(ResumeFunction resume);

// How often DownloadWithProgress polls its stop handle while data flows.
inline constexpr DWORD kStopPollIntervalMs = 10;

// What one DownloadWithProgress attempt ended with.
struct DownloadResult {
  bool ok = false;
  // Why the attempt failed (empty on success and after a stop).
  std::wstring error;
  // The URL after redirects, empty without one.
  std::wstring final_url;
  // The announced length, 0 when none was announced.
  uint32_t content_length = 0;
  // What opening the download raised, if it raised a structured exception.
  base::ExceptionRecord exception;
};

// Downloads `url` into `sink` (resuming at the sink's count) and reports
// progress and remaining-time estimates to `observer`. `stop` (may be null)
// ends the download as failed: it is polled before the first read and then
// every kStopPollIntervalMs (per TickClock) before the next read.
DownloadResult DownloadWithProgress(const std::wstring& url,
                                    DownloadSink* sink,
                                    HANDLE stop,
                                    DownloadObserver* observer);

}  // namespace installer

#endif  // CHROME_INSTALLER_NORVEL_UTIL_NETWORK_DOWNLOADER_H_
