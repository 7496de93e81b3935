#ifndef CHROME_INSTALLER_NORVEL_UTIL_NETWORK_ASYNC_HTTP_REQUEST_SENDER_H_
#define CHROME_INSTALLER_NORVEL_UTIL_NETWORK_ASYNC_HTTP_REQUEST_SENDER_H_

#include <windows.h>

#include <memory>
#include <string>

namespace install_util {

// Sends GET requests without waiting for them: URLs are queued and issued one
// at a time, in order, by a worker thread started on the first Send. Each
// request is closed as soon as it has been sent, so no response is read and
// nothing is retried. Destruction drops URLs still queued, lets the request
// in progress finish and joins the worker.
class AsyncHttpRequestSender {
 public:
  static constexpr wchar_t kUserAgent[] = L"Norvel.Browser installer";
  // Connect and send time-outs of each request.
  static constexpr DWORD kTimeoutMs = 2000;

  AsyncHttpRequestSender();
  AsyncHttpRequestSender(const AsyncHttpRequestSender&) = delete;
  AsyncHttpRequestSender& operator=(const AsyncHttpRequestSender&) = delete;
  virtual ~AsyncHttpRequestSender();

  // Queues `url`. False only when the worker could not be started.
  virtual bool Send(const std::wstring& url);
  // Performs one request; runs on the worker thread.
  virtual void SendUrl(const std::wstring& url);
  // Waits up to `timeout_ms` until every queued URL has been sent. True
  // when nothing is left (at once when nothing was ever queued). A process
  // about to end calls it, so that its last requests still leave.
  bool WaitForQueue(DWORD timeout_ms);

 private:
  class TaskRunner;
  std::unique_ptr<TaskRunner> runner_;
};

}  // namespace install_util

#endif  // CHROME_INSTALLER_NORVEL_UTIL_NETWORK_ASYNC_HTTP_REQUEST_SENDER_H_
