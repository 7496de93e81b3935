#ifndef TEST_SUPPORT_FAKE_SERVICES_H_
#define TEST_SUPPORT_FAKE_SERVICES_H_

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace test {

// What the crash collector made of a report ("/submit").
struct CrashReport {
  struct Attachment {
    std::string name;
    std::string file_name;
    std::string type;
    std::string bytes;
  };
  bool present = false;  // the request went to the collector
  bool complete = false;  // its body was read (it may follow the answer)
  std::string error;  // why the body could not be decoded
  std::vector<std::pair<std::string, std::string>> query;
  std::vector<std::pair<std::string, std::string>> fields;  // body order
  std::vector<Attachment> attachments;
};

// One request the loopback services received.
struct RecordedRequest {
  int seq = 0;
  std::string scheme;  // "http" or "https"
  std::string method;
  std::string path;  // with the query
  std::vector<std::pair<std::string, std::string>> headers;
  std::optional<std::string> range;
  std::string body;  // request body
  int status = 0;
  uint64_t bytes = 0;     // response body bytes sent
  bool complete = false;  // the whole response body went out
  CrashReport crash;

  // Value of a request header (name compared without case), or empty.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

// The loopback fake services (tools/fake_services/fake_services.py), a Linux
// Python process that this Windows test binary starts through Wine. It holds
// a lease connection to the server for as long as it lives; the server ends
// when the lease closes, so a crashed test leaves no server behind. Behaviour
// per URL: "/content/NAME?size=..&status=..&drop=.." (see the script), or
// rules for any path through AddRule.
class FakeServices {
 public:
  FakeServices();
  FakeServices(const FakeServices&) = delete;
  FakeServices& operator=(const FakeServices&) = delete;
  ~FakeServices();

  // The process-wide instance, started on first use. When the environment
  // names a running server (LITE_FAKE_SERVICES="HTTP_PORT,HTTPS_PORT", as
  // handed to child processes by EnvironmentForChild), it is used instead.
  static FakeServices& Shared();

  // Starts a server of its own; false (with the server's log kept) when it
  // did not report ready within the time limit.
  bool Start(const std::vector<std::wstring>& extra_args = {});
  // Shuts the server down and waits until its ports stop answering.
  void Stop();
  bool running() const { return http_port_ != 0; }

  uint16_t http_port() const { return http_port_; }
  uint16_t https_port() const { return https_port_; }
  // "http://127.0.0.1:PORT" + path and "https://localhost:PORT" + path.
  std::string HttpUrl(const std::string& path) const;
  std::string HttpsUrl(const std::string& path) const;
  std::wstring HttpUrlW(const std::string& path) const;
  std::wstring HttpsUrlW(const std::string& path) const;

  // Adds a rule: requests whose path (without query) equals `path`, or
  // starts with it when `prefix` is set, get `behaviour_json` (an object of
  // the script's behaviour keys). `times` > 0 lets the rule expire.
  bool AddRule(const std::string& path,
               const std::string& behaviour_json,
               bool prefix = false,
               int times = 0);
  // Drops rules and recorded requests.
  bool Reset();
  // Requests recorded after `since` (a seq), oldest first.
  std::vector<RecordedRequest> Requests(int since = 0);
  // Waits up to `timeout_ms` until at least `count` requests were recorded.
  std::vector<RecordedRequest> WaitForRequests(size_t count,
                                               DWORD timeout_ms,
                                               int since = 0);

  // The requests to the crash collector after `since`, once each has its
  // body (a body sent after the answer may still be arriving); waits up to
  // `timeout_ms` for that.
  std::vector<RecordedRequest> CrashReports(int since = 0,
                                            DWORD timeout_ms = 30000);

  // What the server logged (for failure messages).
  std::string ServerLog() const;
  // Environment for a child process that should use this server.
  std::pair<std::wstring, std::wstring> EnvironmentForChild() const;

  // The server's copy of test slide `name` ("02.png" ... "05.jpg"), for
  // rules with "file".
  static std::string SlideFilePath(const std::string& name);

  // The bytes the server generates for "size=" bodies: byte i is i % 251.
  static std::string PatternBytes(uint64_t offset, size_t size);

  // One HTTP exchange with the control endpoints over plain Winsock (never
  // through WinINet, the code under test). Returns the status, 0 on failure.
  int Control(const std::string& method,
              const std::string& path,
              const std::string& body,
              std::string* response);

 private:
  bool ConnectLease();

  std::unique_ptr<ScopedTempDir> dir_;
  std::wstring log_path_;
  uint16_t http_port_ = 0;
  uint16_t https_port_ = 0;
  uintptr_t lease_ = ~uintptr_t{0};  // SOCKET
  bool owned_ = false;
};

// Behaviour (for AddRule) of a variations or A/B seed response: a generated
// binary body of `size` bytes (FakeServices::PatternBytes(0, size)) with the
// seed's signature, country and last-modified headers; an empty value leaves
// its header out.
std::string SeedBehaviour(size_t size,
                          const std::string& signature,
                          const std::string& country,
                          const std::string& last_modified);

// A test of code that talks to the process's shared loopback services and
// logs.
class TestWithServices : public TestWithLog {
 protected:
  // Fails the test at once when the services did not start.
  void SetUp() override;

  static FakeServices& server() { return FakeServices::Shared(); }
  // The requests received since SetUp, oldest first.
  std::vector<RecordedRequest> NewRequests() {
    return server().Requests(since_);
  }

  int since_ = 0;  // the seq of the last request before the test
};

}  // namespace test

#endif  // TEST_SUPPORT_FAKE_SERVICES_H_
