#include "test/support/fake_services.h"

#include <wincrypt.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "nlohmann/json.hpp"

#ifndef LITE_FAKE_SERVICES_SCRIPT
#error "LITE_FAKE_SERVICES_SCRIPT must name the server script (Unix path)"
#endif
#ifndef LITE_TEST_CA_DIR
#error "LITE_TEST_CA_DIR must name the test CA folder (Unix path)"
#endif
#ifndef LITE_PYTHON3
#define LITE_PYTHON3 "/usr/bin/python3"
#endif

namespace test {
namespace {

constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kSocketTimeoutMs = 15000;
constexpr wchar_t kEnvName[] = L"LITE_FAKE_SERVICES";

std::wstring Widen(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

void EnsureWinsock() {
  static bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

SOCKET ConnectLoopback(uint16_t port) {
  EnsureWinsock();
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET)
    return s;
  // Children of the test must not keep the server's lease alive.
  ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  DWORD timeout = kSocketTimeoutMs;
  ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&timeout),
               sizeof(timeout));
  ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<char*>(&timeout),
               sizeof(timeout));
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    ::closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

bool SendAll(SOCKET s, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    int n =
        ::send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
    if (n <= 0)
      return false;
    sent += n;
  }
  return true;
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (key.size() == name.size() &&
        std::equal(key.begin(), key.end(), name.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        })) {
      return value;
    }
  }
  return std::string();
}

bool RecordedRequest::HasHeader(const std::string& name) const {
  for (const auto& header : headers) {
    if (_stricmp(header.first.c_str(), name.c_str()) == 0)
      return true;
  }
  return false;
}

FakeServices::FakeServices() = default;

FakeServices::~FakeServices() {
  Stop();
}

// static
FakeServices& FakeServices::Shared() {
  static FakeServices* shared = [] {
    auto* services = new FakeServices();
    wchar_t value[64] = {};
    unsigned http = 0, https = 0;
    if (::GetEnvironmentVariableW(kEnvName, value, 64) > 0 &&
        swscanf(value, L"%u,%u", &http, &https) == 2) {
      services->http_port_ = static_cast<uint16_t>(http);
      services->https_port_ = static_cast<uint16_t>(https);
    } else {
      services->Start();
    }
    // Stopped at exit; if the process dies first, the closed lease ends it.
    std::atexit([] { Shared().Stop(); });
    return services;
  }();
  return *shared;
}

// static
std::string FakeServices::SlideFilePath(const std::string& name) {
  return std::string(LITE_TEST_SLIDES_DIR) + "/" + name;
}

bool FakeServices::Start(const std::vector<std::wstring>& extra_args) {
  Stop();
  dir_ = std::make_unique<ScopedTempDir>();
  log_path_ = dir_->Append(L"fake_services.log");

  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE log =
      ::CreateFileW(log_path_.c_str(), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE null_in = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ,
                                 &inherit, OPEN_EXISTING, 0, nullptr);
  if (log == INVALID_HANDLE_VALUE)
    return false;

  // Wine runs a Unix program named in CreateProcess directly; its standard
  // handles become the program's descriptors, so the server writes into the
  // log file and never into a pipe the test runner waits on.
  std::wstring python = test::WinePath(LITE_PYTHON3);
  std::wstring command = L"\"" + python + L"\" \"" +
                         Widen(LITE_FAKE_SERVICES_SCRIPT) + L"\" --tls-dir \"" +
                         Widen(LITE_TEST_CA_DIR) + L"\" --max-seconds 1800 --slides \"" +
                         Widen(LITE_TEST_SLIDES_DIR) + L"\"";
  for (const auto& arg : extra_args)
    command += L" " + arg;
  STARTUPINFOW startup = {sizeof(startup)};
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_in;
  startup.hStdOutput = log;
  startup.hStdError = log;
  PROCESS_INFORMATION info = {};
  BOOL started =
      ::CreateProcessW(python.c_str(), command.data(), nullptr, nullptr, TRUE,
                       0, nullptr, nullptr, &startup, &info);
  ::CloseHandle(log);
  if (null_in != INVALID_HANDLE_VALUE)
    ::CloseHandle(null_in);
  if (!started)
    return false;
  // A Unix process has no Windows handles to wait on.
  if (info.hProcess)
    ::CloseHandle(info.hProcess);
  if (info.hThread)
    ::CloseHandle(info.hThread);

  DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < kStartTimeoutMs) {
    std::string text = ServerLog();
    size_t ready = text.find("READY ");
    size_t end = ready == std::string::npos ? ready : text.find('\n', ready);
    if (end != std::string::npos) {
      auto json = nlohmann::json::parse(text.substr(ready + 6, end - ready - 6),
                                        nullptr, false);
      if (json.is_object() && json.contains("http_port")) {
        http_port_ = json["http_port"].get<uint16_t>();
        https_port_ = json.value("https_port", uint16_t{0});
        owned_ = true;
        if (ConnectLease())
          return true;
        Stop();
        return false;
      }
    }
    ::Sleep(20);
  }
  return false;
}

bool FakeServices::ConnectLease() {
  SOCKET s = ConnectLoopback(http_port_);
  if (s == INVALID_SOCKET)
    return false;
  if (!SendAll(s, "GET /_control/lease HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")) {
    ::closesocket(s);
    return false;
  }
  lease_ = s;
  return true;
}

void FakeServices::Stop() {
  if (owned_ && http_port_) {
    std::string response;
    Control("POST", "/_control/shutdown", "", &response);
    // The server ends within half a second of the request; wait until
    // neither port answers, so that no test outlives it by accident and a
    // server started next can take the same fixed port.
    DWORD start = ::GetTickCount();
    for (uint16_t port : {http_port_, https_port_}) {
      while (port != 0 && ::GetTickCount() - start < 5000) {
        SOCKET s = ConnectLoopback(port);
        if (s == INVALID_SOCKET)
          break;
        ::closesocket(s);
        ::Sleep(50);
      }
    }
  }
  if (lease_ != ~uintptr_t{0}) {
    ::closesocket(static_cast<SOCKET>(lease_));
    lease_ = ~uintptr_t{0};
  }
  http_port_ = https_port_ = 0;
  owned_ = false;
}

std::string FakeServices::HttpUrl(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(http_port_) + path;
}

std::string FakeServices::HttpsUrl(const std::string& path) const {
  return "https://localhost:" + std::to_string(https_port_) + path;
}

std::wstring FakeServices::HttpUrlW(const std::string& path) const {
  return Widen(HttpUrl(path));
}

std::wstring FakeServices::HttpsUrlW(const std::string& path) const {
  return Widen(HttpsUrl(path));
}

int FakeServices::Control(const std::string& method,
                          const std::string& path,
                          const std::string& body,
                          std::string* response) {
  response->clear();
  if (!http_port_)
    return 0;
  SOCKET s = ConnectLoopback(http_port_);
  if (s == INVALID_SOCKET)
    return 0;
  std::string request = method + " " + path +
                        " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                        "Content-Type: application/json\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n\r\n" + body;
  std::string reply;
  if (SendAll(s, request)) {
    char buffer[16384];
    int n;
    while ((n = ::recv(s, buffer, sizeof(buffer), 0)) > 0)
      reply.append(buffer, n);
  }
  ::closesocket(s);
  int status = 0;
  if (std::sscanf(reply.c_str(), "HTTP/%*d.%*d %d", &status) != 1)
    return 0;
  size_t header_end = reply.find("\r\n\r\n");
  if (header_end != std::string::npos)
    *response = reply.substr(header_end + 4);
  return status;
}

bool FakeServices::AddRule(const std::string& path,
                           const std::string& behaviour_json,
                           bool prefix,
                           int times) {
  auto behaviour = nlohmann::json::parse(behaviour_json, nullptr, false);
  if (!behaviour.is_object())
    return false;
  nlohmann::json rule = {{prefix ? "prefix" : "path", path},
                         {"behaviour", behaviour}};
  if (times > 0)
    rule["times"] = times;
  std::string response;
  return Control("POST", "/_control/rules", rule.dump(), &response) == 200;
}

bool FakeServices::Reset() {
  std::string response;
  return Control("POST", "/_control/reset", "", &response) == 200;
}

namespace {

std::string DecodeBase64(const std::string& b64) {
  std::string bytes;
  DWORD size = 0;
  if (!b64.empty() &&
      ::CryptStringToBinaryA(b64.c_str(), 0, CRYPT_STRING_BASE64, nullptr,
                             &size, nullptr, nullptr)) {
    bytes.resize(size);
    ::CryptStringToBinaryA(b64.c_str(), 0, CRYPT_STRING_BASE64,
                           reinterpret_cast<BYTE*>(bytes.data()), &size,
                           nullptr, nullptr);
    bytes.resize(size);
  }
  return bytes;
}

std::vector<std::pair<std::string, std::string>> Pairs(
    const nlohmann::json& list) {
  std::vector<std::pair<std::string, std::string>> pairs;
  if (list.is_array()) {
    for (const auto& pair : list)
      pairs.emplace_back(pair[0].get<std::string>(), pair[1].get<std::string>());
  }
  return pairs;
}

CrashReport ToCrashReport(const nlohmann::json& crash) {
  CrashReport report;
  if (!crash.is_object())
    return report;
  report.present = true;
  report.complete = crash.value("body_complete", false);
  report.error = crash.value("error", "");
  if (crash.contains("query"))
    report.query = Pairs(crash["query"]);
  if (crash.contains("fields"))
    report.fields = Pairs(crash["fields"]);
  if (crash.contains("attachments")) {
    for (const auto& item : crash["attachments"]) {
      report.attachments.push_back(
          {item.value("name", ""), item.value("filename", ""),
           item.value("type", ""), DecodeBase64(item.value("data_b64", ""))});
    }
  }
  return report;
}

}  // namespace

std::vector<RecordedRequest> FakeServices::CrashReports(int since,
                                                        DWORD timeout_ms) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    std::vector<RecordedRequest> reports;
    bool complete = true;
    for (RecordedRequest& request : Requests(since)) {
      if (!request.crash.present)
        continue;
      complete = complete && request.crash.complete;
      reports.push_back(std::move(request));
    }
    if (complete || ::GetTickCount() - start >= timeout_ms)
      return reports;
    ::Sleep(20);
  }
}

std::vector<RecordedRequest> FakeServices::Requests(int since) {
  std::vector<RecordedRequest> result;
  std::string response;
  if (Control("GET", "/_control/requests?since=" + std::to_string(since), "",
              &response) != 200) {
    return result;
  }
  auto list = nlohmann::json::parse(response, nullptr, false);
  if (!list.is_array())
    return result;
  for (const auto& item : list) {
    RecordedRequest r;
    r.seq = item.value("seq", 0);
    r.scheme = item.value("scheme", "");
    r.method = item.value("method", "");
    r.path = item.value("path", "");
    for (const auto& header : item["headers"])
      r.headers.emplace_back(header[0].get<std::string>(),
                             header[1].get<std::string>());
    if (item["range"].is_string())
      r.range = item["range"].get<std::string>();
    r.status = item.value("status", 0);
    r.bytes = item.value("bytes", uint64_t{0});
    r.complete = item.value("complete", false);
    r.body = DecodeBase64(item.value("request_body_b64", ""));
    if (item.contains("crash"))
      r.crash = ToCrashReport(item["crash"]);
    result.push_back(std::move(r));
  }
  return result;
}

std::vector<RecordedRequest> FakeServices::WaitForRequests(size_t count,
                                                           DWORD timeout_ms,
                                                           int since) {
  DWORD start = ::GetTickCount();
  for (;;) {
    auto requests = Requests(since);
    if (requests.size() >= count || ::GetTickCount() - start >= timeout_ms)
      return requests;
    ::Sleep(20);
  }
}

std::string FakeServices::ServerLog() const {
  return ReadFile(log_path_);
}

std::pair<std::wstring, std::wstring> FakeServices::EnvironmentForChild()
    const {
  return {kEnvName,
          std::to_wstring(http_port_) + L"," + std::to_wstring(https_port_)};
}

// static
std::string FakeServices::PatternBytes(uint64_t offset, size_t size) {
  std::string result(size, '\0');
  for (size_t i = 0; i < size; ++i)
    result[i] = static_cast<char>((offset + i) % 251);
  return result;
}

void TestWithServices::SetUp() {
  ASSERT_TRUE(server().running()) << server().ServerLog();
  const std::vector<RecordedRequest> all = server().Requests(0);
  since_ = all.empty() ? 0 : all.back().seq;
}

std::string SeedBehaviour(size_t size,
                          const std::string& signature,
                          const std::string& country,
                          const std::string& last_modified) {
  nlohmann::json behaviour = {{"size", static_cast<int64_t>(size)}};
  nlohmann::json headers = nlohmann::json::array();
  if (!signature.empty())
    headers.push_back("X-Seed-Signature: " + signature);
  if (!country.empty())
    headers.push_back("X-Country: " + country);
  if (!last_modified.empty())
    headers.push_back("Last-Modified: " + last_modified);
  behaviour["header"] = std::move(headers);
  return behaviour.dump();
}

}  // namespace test
