#include "chrome/installer/norvel/util/network/async_http_request_sender.h"

#include <deque>

#include "base/exception_guard.h"
#include "base/scoped_handle.h"
#include "base/scoped_srw_lock.h"
#include "base/scoped_internet_handle.h"
#include "chrome/installer/norvel/util/network/request_headers.h"
#include "logging/file_logger.h"

namespace install_util {
namespace {

using base::ScopedExclusiveLock;

// Request handles inherit the session's callback: closing each request once
// it has gone out means no response is ever waited for.
void CALLBACK CloseWhenSent(HINTERNET handle,
                            DWORD_PTR context,
                            DWORD status,
                            void* info,
                            DWORD info_length) {
  if (status == INTERNET_STATUS_HANDLE_CREATED && info) {
    // Where closing the request does not cancel the call (Wine goes on to
    // wait for the response, and takes no receive time-out from the
    // session), a server that never answers would hold the queue, and the
    // sender's destruction, for good. Bound that wait on the new handle.
    HINTERNET created = reinterpret_cast<HINTERNET>(
        static_cast<INTERNET_ASYNC_RESULT*>(info)->dwResult);
    DWORD timeout = AsyncHttpRequestSender::kTimeoutMs;
    ::InternetSetOptionW(created, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout,
                         sizeof(timeout));
  } else if (status == INTERNET_STATUS_REQUEST_SENT) {
    ::InternetCloseHandle(handle);
  }
}

}  // namespace

class AsyncHttpRequestSender::TaskRunner {
 public:
  explicit TaskRunner(AsyncHttpRequestSender* owner) : owner_(owner) {}
  TaskRunner(const TaskRunner&) = delete;
  TaskRunner& operator=(const TaskRunner&) = delete;

  ~TaskRunner() {
    if (thread_) {
      {
        ScopedExclusiveLock lock(&lock_);
        stopping_ = true;
      }
      ::SetEvent(wake_event_.get());
      ::WaitForSingleObject(thread_.get(), INFINITE);
    }
  }

  // Starts the worker unless it runs already. Call with lock_ held.
  bool InitializeThread() {
    if (thread_)
      return true;
    if (!wake_event_)
      wake_event_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!idle_event_)
      idle_event_.reset(::CreateEventW(nullptr, TRUE, TRUE, nullptr));
    if (!wake_event_ || !idle_event_)
      return false;
    thread_.reset(
        ::CreateThread(nullptr, 0, &TaskRunner::ThreadMain, this, 0, nullptr));
    return thread_.is_valid();
  }

  bool Post(const std::wstring& url) {
    ScopedExclusiveLock lock(&lock_);
    if (!InitializeThread())
      return false;
    queue_.push_back(url);
    ::ResetEvent(idle_event_.get());
    ::SetEvent(wake_event_.get());
    return true;
  }

  bool WaitIdle(DWORD timeout_ms) {
    HANDLE idle;
    {
      ScopedExclusiveLock lock(&lock_);
      if (!thread_)
        return true;
      idle = idle_event_.get();
    }
    return ::WaitForSingleObject(idle, timeout_ms) == WAIT_OBJECT_0;
  }

 private:
  static DWORD WINAPI ThreadMain(void* param) {
    static_cast<TaskRunner*>(param)->Run();
    return 0;
  }

  void Run() {
    for (;;) {
      ::WaitForSingleObject(wake_event_.get(), INFINITE);
      for (;;) {
        std::wstring url;
        {
          ScopedExclusiveLock lock(&lock_);
          if (stopping_)
            return;
          if (queue_.empty()) {
            // Set only here, after the last request went out.
            ::SetEvent(idle_event_.get());
            break;
          }
          url = std::move(queue_.front());
          queue_.pop_front();
        }
        // Never under the lock: Send must not wait for the network.
        owner_->SendUrl(url);
      }
    }
  }

  base::ScopedKernelHandle thread_;
  SRWLOCK lock_ = SRWLOCK_INIT;
  base::ScopedKernelHandle wake_event_;
  // Signalled while the queue is empty and no request is in progress.
  base::ScopedKernelHandle idle_event_;
  bool stopping_ = false;
  std::deque<std::wstring> queue_;
  AsyncHttpRequestSender* owner_;
};

AsyncHttpRequestSender::AsyncHttpRequestSender()
    : runner_(std::make_unique<TaskRunner>(this)) {}

AsyncHttpRequestSender::~AsyncHttpRequestSender() = default;

bool AsyncHttpRequestSender::Send(const std::wstring& url) {
  if (!runner_->Post(url)) {
    PLOG(ERROR) << "Failed to create thread for async http requests";
    return false;
  }
  return true;
}

bool AsyncHttpRequestSender::WaitForQueue(DWORD timeout_ms) {
  return runner_->WaitIdle(timeout_ms);
}

void AsyncHttpRequestSender::SendUrl(const std::wstring& url) {
  base::ScopedInternetHandle session(::InternetOpenW(
      kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) {
    PLOG(ERROR) << "Failed to open session for " << url;
    return;
  }
  ::InternetSetStatusCallbackW(session.get(), &CloseWhenSent);
  DWORD timeout = kTimeoutMs;
  if (!::InternetSetOptionW(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT,
                            &timeout, sizeof(timeout)) ||
      !::InternetSetOptionW(session.get(), INTERNET_OPTION_SEND_TIMEOUT,
                            &timeout, sizeof(timeout))) {
    PLOG(ERROR) << "Failed to set internet options for " << url;
    return;
  }

  std::wstring headers = installer::BuildRequestHeaders();
  base::ExceptionRecord exception;
  HINTERNET request = nullptr;
  DWORD error = 0;
  bool returned = base::CallWithExceptionGuard(
      [&] {
        // The request closes itself once sent (CloseWhenSent); the context
        // must be non-zero for the callback to be called.
        request =
            ::InternetOpenUrlW(session.get(), url.c_str(), headers.c_str(),
                               static_cast<DWORD>(-1), INTERNET_FLAG_RELOAD, 1);
        error = ::GetLastError();
      },
      &exception);
  if (!returned) {
    PLOG(ERROR) << "An attempt to open url " << url
                << " generated an exception " << exception.code;
  } else if (!request && error != ERROR_INTERNET_OPERATION_CANCELLED) {
    // Cancellation is how a request closed after sending normally ends. A
    // returned handle means the request went out and was answered; the
    // handle is already closed by the callback and is not touched, and the
    // thread's error value then says nothing about this request.
    PLOG_CODE(ERROR, error) << "Failed to open " << url;
  }
}

}  // namespace install_util
