#include "chrome/installer/norvel/util/network/downloader.h"

#include <cstring>
#include <utility>

#include "base/scoped_handle.h"
#include "base/strings.h"
#include "base/tick_clock.h"
#include "chrome/installer/norvel/util/network/request_headers.h"
#include "logging/file_logger.h"

namespace installer {
namespace {

bool IsSignaled(HANDLE event) {
  return event && ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

DWORD ResumeWithWinInet(HINTERNET request, DWORD offset) {
  return ::InternetSetFilePointer(request, static_cast<LONG>(offset), nullptr,
                                  FILE_BEGIN, 0);
}

ResumeFunction g_resume = &ResumeWithWinInet;

}  // namespace

bool IsBodyComplete(uint64_t held, uint32_t content_length) {
  return content_length == 0 || held == content_length;
}

void SetResumeFunctionForTesting(ResumeFunction resume) {
  g_resume = resume ? resume : &ResumeWithWinInet;
}

Downloader::Downloader() : buffer_(new uint8_t[kBufferSize]()) {}

Downloader::~Downloader() = default;

void Downloader::SetError(const wchar_t* label, DWORD error) {
  last_error_ = label + base::NumberToWide(error);
}

bool Downloader::QueryStatus(DWORD* status) const {
  DWORD size = sizeof(*status);
  return ::HttpQueryInfoW(request_.get(),
                          HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                          status, &size, nullptr) != FALSE;
}

// static
void CALLBACK Downloader::StatusCallback(HINTERNET handle,
                                         DWORD_PTR context,
                                         DWORD status,
                                         void* info,
                                         DWORD info_length) {
  if (!context || !info)
    return;
  auto* downloader = reinterpret_cast<Downloader*>(context);
  if (status == INTERNET_STATUS_HANDLE_CREATED) {
    // Wine does not hand the session's receive time-out down to the request,
    // and ignores one set on the request once it is connected; set as the
    // request is created, it bounds both the wait for the response and every
    // read of the body.
    HINTERNET created = reinterpret_cast<HINTERNET>(
        static_cast<INTERNET_ASYNC_RESULT*>(info)->dwResult);
    if (created && !downloader->SetTimeouts(created))
      PLOG(ERROR) << "Failed to set time-outs for a request";
  } else if (status == INTERNET_STATUS_REDIRECT) {
    // The information is the new URL as a wide string.
    downloader->final_url_ = static_cast<const wchar_t*>(info);
  }
}

bool Downloader::SetTimeouts(HINTERNET handle) const {
  const std::pair<DWORD, DWORD> options[] = {
      {INTERNET_OPTION_CONNECT_TIMEOUT, timeouts_.connect_ms},
      {INTERNET_OPTION_SEND_TIMEOUT, timeouts_.send_ms},
      {INTERNET_OPTION_RECEIVE_TIMEOUT, timeouts_.receive_ms},
  };
  for (auto [option, value] : options) {
    if (!::InternetSetOptionW(handle, option, &value, sizeof(value)))
      return false;
  }
  return true;
}

bool Downloader::OpenDownload(const std::wstring& url, DownloadSink* sink) {
  url_.clear();
  last_error_.clear();
  exception_ = base::ExceptionRecord();
  final_url_.clear();
  content_length_ = 0;
  sink_ = nullptr;
  request_.reset();
  internet_.reset();

  internet_.reset(::InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG,
                                  nullptr, nullptr, 0));
  if (!internet_) {
    SetError(L"internet_open-", ::GetLastError());
    return false;
  }
  if (!SetTimeouts(internet_.get()))
    PLOG(ERROR) << "Failed to set time-outs for " << url;
  if (::InternetSetStatusCallbackW(internet_.get(), &StatusCallback) ==
      INTERNET_INVALID_STATUS_CALLBACK) {
    PLOG(ERROR) << "SetStatusCallback failed";
  }

  std::wstring headers = BuildRequestHeaders();
  HINTERNET request = nullptr;
  DWORD open_error = 0;
  // The first call into WinINet may load it; a failure to do so surfaces
  // as a structured exception that must end this download, not the process.
  bool returned = base::CallWithExceptionGuard(
      [&] {
        request =
            ::InternetOpenUrlW(internet_.get(), url.c_str(), headers.c_str(),
                               static_cast<DWORD>(-1), INTERNET_FLAG_RELOAD,
                               reinterpret_cast<DWORD_PTR>(this));
        open_error = ::GetLastError();
      },
      &exception_);
  if (!returned) {
    PLOG(ERROR) << "An attempt to open url " << url
                << " generated an exception " << exception_.code;
    ::InternetSetStatusCallbackW(internet_.get(), nullptr);
    return false;
  }
  if (!request) {
    ::InternetSetStatusCallbackW(internet_.get(), nullptr);
    SetError(L"internet_open_url-", open_error);
    return false;
  }
  request_.reset(request);

  DWORD offset = sink->bytes_written();
  if (offset > 0) {
    DWORD position = g_resume(request_.get(), offset);
    if (position != offset) {
      // The download cannot continue where the sink ends; start the sink
      // over, and let the first read report the failure.
      SetError(L"internet_set_file_pointer-", ::GetLastError());
      sink->Reset();
    }
  }

  ::InternetSetStatusCallbackW(internet_.get(), nullptr);
  url_ = url;
  sink_ = sink;
  LOG(INFO) << "Connection established: " << url;
  return true;
}

uint32_t Downloader::ReadChunk() {
  if (!last_error_.empty() || !request_)
    return 0;
  DWORD want = kBufferSize;
  if (read_what_has_arrived_) {
    // Waits (within the receive time-out) until something has arrived; 0 at
    // the end of the body.
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(request_.get(), &available, 0, 0)) {
      SetError(L"internet_read-", ::GetLastError());
      return 0;
    }
    if (available > 0 && available < want)
      want = available;
  }
  DWORD read = 0;
  if (!::InternetReadFile(request_.get(), buffer_.get(), want, &read)) {
    SetError(L"internet_read-", ::GetLastError());
    return 0;
  }
  DWORD status = 0;
  if (QueryStatus(&status) && status != HTTP_STATUS_OK)
    return 0;
  if (read > 0 && !sink_->Write(buffer_.get(), read)) {
    SetError(L"write_file-", ::GetLastError());
    return 0;
  }
  if (content_length_ == 0) {
    DWORD length = 0;
    DWORD size = sizeof(length);
    if (::HttpQueryInfoW(request_.get(),
                         HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                         &length, &size, nullptr)) {
      content_length_ = length;
    }
  }
  return read;
}

bool Downloader::FinalizeDownload(DWORD* status_out) {
  if (!last_error_.empty())
    return false;
  DWORD status = 0;
  bool have_status = request_ && QueryStatus(&status);
  DWORD error = ::GetLastError();
  if (have_status && status == HTTP_STATUS_OK) {
    // What the sink holds in all counts, so that a resumed body is judged
    // against the whole resource like a fresh one.
    if (sink_ && IsBodyComplete(sink_->bytes_written(), content_length_))
      return true;
    // The connection was dropped, which WinINet may report as a clean end
    // of data: a truncated body must not pass for a complete one.
    SetError(L"internet_read-", ERROR_INTERNET_CONNECTION_RESET);
  } else {
    last_error_ = L"final_query_info-" +
                  base::NumberToWide(have_status ? status : 0) + L"-" +
                  base::NumberToWide(error);
  }
  LOG(WARNING) << "Unsuccessful download: " << url_;
  if (status_out)
    *status_out = status;
  return false;
}

std::string Downloader::QueryResponseHeader(const std::string& name) {
  if (!request_)
    return std::string();
  // HTTP_QUERY_CUSTOM takes the header name in the buffer it fills.
  DWORD size = static_cast<DWORD>(name.size() + 1);
  if (size < 256)
    size = 256;
  std::string buffer;
  for (int attempt = 0; attempt < 2; ++attempt) {
    buffer.assign(size, '\0');
    std::memcpy(buffer.data(), name.c_str(), name.size() + 1);
    DWORD length = size;
    if (::HttpQueryInfoA(request_.get(), HTTP_QUERY_CUSTOM, buffer.data(),
                         &length, nullptr)) {
      buffer.resize(length);
      return buffer;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || length <= size)
      return std::string();
    size = length;
  }
  return std::string();
}

bool Downloader::Download(const std::string& url,
                          HANDLE stop_event,
                          DownloadSink* sink) {
  if (!OpenDownload(base::WidenBytes(url), sink))
    return false;
  while (ReadChunk() > 0) {
    // A body cut short by the stop event is not a download.
    if (IsSignaled(stop_event))
      return false;
  }
  return FinalizeDownload(nullptr);
}

bool Downloader::DownloadToFile(const std::string& url,
                                const std::wstring& target,
                                HANDLE stop_event) {
  wchar_t temp_dir[MAX_PATH + 1];
  DWORD length = ::GetTempPathW(MAX_PATH + 1, temp_dir);
  if (length == 0 || length > MAX_PATH)
    return false;
  wchar_t temp_path[MAX_PATH];
  if (!::GetTempFileNameW(temp_dir, L"", 0, temp_path))
    return false;

  bool result = false;
  {
    base::ScopedFileHandle file(::CreateFileW(temp_path, GENERIC_WRITE, 0,
                                              nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
      FileDownloadSink sink(file.get());
      result = Download(url, stop_event, &sink);
    }
  }
  if (result) {
    result = ::MoveFileExW(temp_path, target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) !=
             FALSE;
  }
  // Gone already after a successful move.
  ::DeleteFileW(temp_path);
  return result;
}

bool Downloader::DownloadToString(const std::string& url,
                                  HANDLE stop_event,
                                  std::string* body) {
  MemoryDownloadSink sink;
  if (!Download(url, stop_event, &sink))
    return false;
  *body = sink.TakeData();
  return true;
}

DownloadResult DownloadWithProgress(const std::wstring& url,
                                    DownloadSink* sink,
                                    HANDLE stop,
                                    DownloadObserver* observer) {
  Downloader downloader;
  DownloadResult outcome;
  auto finish = [&](bool ok) {
    outcome.ok = ok;
    outcome.error = downloader.last_error();
    outcome.final_url = downloader.final_url();
    outcome.content_length = downloader.content_length();
    return outcome;
  };
  if (!downloader.OpenDownload(url, sink)) {
    outcome.exception = downloader.exception();
    // The label tells the caller's statistics why the attempt failed.
    return finish(false);
  }
  if (observer && sink->bytes_written() == 0) {
    observer->SetProgress(0.0f);
    observer->SetRemainingTime(-1, RemainingTimeKind::kUnknown);
  }

  const base::TickClock& clock = base::TickClock::Current();
  DWORD now = clock.GetTickCount();
  DownloadProgressReporter reporter(observer, now, sink->bytes_written());
  // Polling the stop handle is a kernel call on Windows and a round trip to
  // the wineserver under Wine, which cost a third of the time of a loopback
  // download when made before each 32 KiB read. It is polled before the
  // first read and then once per interval, so a stop ends the download
  // within the interval plus one read.
  bool polled = false;
  DWORD last_poll = now;
  bool result = false;
  for (;;) {
    if (stop && (!polled || now - last_poll >= kStopPollIntervalMs)) {
      polled = true;
      last_poll = now;
      if (::WaitForSingleObject(stop, 0) != WAIT_TIMEOUT) {
        result = false;
        break;
      }
    }
    if (downloader.ReadChunk() == 0) {
      result = downloader.FinalizeDownload(nullptr);
      if (observer && result) {
        observer->SetProgress(1.0f);
        observer->SetRemainingTime(0, RemainingTimeKind::kFinished);
      }
      break;
    }
    now = clock.GetTickCount();
    reporter.OnBytesReceived(now, sink->bytes_written(),
                             downloader.content_length());
  }
  return finish(result);
}

}  // namespace installer
