#include "crash/http_transport_win.h"

#include <winhttp.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/platform_log.h"
#include "base/strings.h"
#include "base/system_library.h"
#include "crash/file_io_win.h"
#include "crash/module_version.h"

namespace crashpad {

namespace {

UploadTransport::WriteObserver g_write_observer = nullptr;
void* g_write_observer_context = nullptr;

// Reports a failed WinHTTP (or kernel) call with the thread's last error,
// its text taken from winhttp's message table when it has one.
void ReportWinHttpFailure(const char* call) {
  const DWORD code = ::GetLastError();
  ReportFailedCall(call, code, ::GetModuleHandleW(L"winhttp.dll"));
}

// Owns one WinHTTP handle; a failed close is reported.
class ScopedWinHttpHandle {
 public:
  explicit ScopedWinHttpHandle(HINTERNET handle) : handle_(handle) {}
  ScopedWinHttpHandle(const ScopedWinHttpHandle&) = delete;
  ScopedWinHttpHandle& operator=(const ScopedWinHttpHandle&) = delete;
  ~ScopedWinHttpHandle() {
    if (handle_ && !::WinHttpCloseHandle(handle_))
      ReportWinHttpFailure("WinHttpCloseHandle");
  }
  HINTERNET get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HINTERNET handle_;
};

std::string VersionText(const VS_FIXEDFILEINFO& info) {
  char text[64];
  std::snprintf(text, sizeof(text), "%lu.%lu.%lu.%lu",
                static_cast<unsigned long>(HIWORD(info.dwFileVersionMS)),
                static_cast<unsigned long>(LOWORD(info.dwFileVersionMS)),
                static_cast<unsigned long>(HIWORD(info.dwFileVersionLS)),
                static_cast<unsigned long>(LOWORD(info.dwFileVersionLS)));
  return text;
}

bool IsWow64() {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, BOOL*);
  auto is_wow64_process = base::GetSystemFunctionAs<IsWow64ProcessFn>(
      L"kernel32.dll", "IsWow64Process");
  BOOL wow64 = FALSE;
  return is_wow64_process &&
         is_wow64_process(::GetCurrentProcess(), &wow64) && wow64;
}

// Writes one buffer of the body as it goes on the wire.
bool WriteData(HINTERNET request, const std::string& data) {
  if (g_write_observer)
    g_write_observer(data.data(), data.size(), g_write_observer_context);
  DWORD written = 0;
  if (!::WinHttpWriteData(request, data.data(), static_cast<DWORD>(data.size()),
                          &written)) {
    ReportWinHttpFailure("WinHttpWriteData");
    return false;
  }
  return true;
}

}  // namespace

std::string FormatUserAgent(const VS_FIXEDFILEINFO* winhttp_version,
                            const VS_FIXEDFILEINFO* kernel32_version,
                            bool wow64) {
  std::string agent = "Crashpad/0.8.0 WinHTTP";
  if (winhttp_version)
    agent += "/" + VersionText(*winhttp_version);
  if (kernel32_version && kernel32_version->dwFileOS == VOS_NT_WINDOWS32) {
    agent += " Windows_NT/" + VersionText(*kernel32_version) + " (x86";
    if (wow64)
      agent += "; WoW64";
    agent += ")";
  }
  return agent;
}

std::string UserAgent() {
  VS_FIXEDFILEINFO winhttp = {};
  VS_FIXEDFILEINFO kernel32 = {};
  const bool have_winhttp = GetModuleVersionAndType(
      base::SystemLibraryPath(L"winhttp.dll"), &winhttp);
  const bool have_kernel32 = GetModuleVersionAndType(
      base::SystemLibraryPath(L"kernel32.dll"), &kernel32);
  return FormatUserAgent(have_winhttp ? &winhttp : nullptr,
                         have_kernel32 ? &kernel32 : nullptr,
                         have_kernel32 && IsWow64());
}

std::string ChunkSizeText(size_t size) {
  char text[16];
  std::snprintf(text, sizeof(text), "%08lx", static_cast<unsigned long>(size));
  const char* digits = text;
  while (digits[0] == '0' && digits[1] != '\0')
    ++digits;
  return digits;
}

std::unique_ptr<UploadTransport> UploadTransport::Create() {
  return std::unique_ptr<UploadTransport>(new UploadTransport());
}

void UploadTransport::SetWriteObserverForTesting(WriteObserver observer,
                                                 void* context) {
  g_write_observer = observer;
  g_write_observer_context = context;
}

bool UploadTransport::Execute(std::string* response_body) {
  ScopedWinHttpHandle session(::WinHttpOpen(
      base::UTF8ToWide(UserAgent()).c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
      WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) {
    ReportWinHttpFailure("WinHttpOpen");
    return false;
  }
  const int timeout_ms = static_cast<int>(timeout_ * 1000);
  if (!::WinHttpSetTimeouts(session.get(), timeout_ms, timeout_ms, timeout_ms,
                            timeout_ms)) {
    ReportWinHttpFailure("WinHttpSetTimeouts");
    return false;
  }

  const std::wstring url = base::UTF8ToWide(url_);
  URL_COMPONENTS parts = {sizeof(parts)};
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!::WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) {
    ReportWinHttpFailure("WinHttpCrackUrl");
    return false;
  }
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  const std::wstring path =
      std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
      std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  ScopedWinHttpHandle connection(
      ::WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
  if (!connection) {
    ReportWinHttpFailure("WinHttpConnect");
    return false;
  }
  ScopedWinHttpHandle request(::WinHttpOpenRequest(
      connection.get(), base::UTF8ToWide(method_).c_str(), path.c_str(),
      nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
      parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
  if (!request) {
    ReportWinHttpFailure("WinHttpOpenRequest");
    return false;
  }
  // Windows bounds the wait for the response's headers with the receive
  // time-out above; Wine keeps a separate one for it (90 s by default).
  DWORD response_timeout_ms = static_cast<DWORD>(timeout_ms);
  if (!::WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT,
                          &response_timeout_ms, sizeof(response_timeout_ms))) {
    ReportWinHttpFailure("WinHttpSetOption");
    return false;
  }

  // A Content-Length header gives the total length and turns chunking off;
  // otherwise the body goes out in chunks and the total passed on is 0.
  bool chunked = true;
  DWORD total_length = 0;
  std::vector<std::string> lines;
  for (const auto& [name, value] : headers_) {
    if (base::ToLowerASCII(name) == "content-length") {
      chunked = false;
      total_length = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
      continue;
    }
    lines.push_back(name + ": " + value + "\r\n");
  }
  if (chunked)
    lines.push_back("Transfer-Encoding: chunked\r\n");
  for (const std::string& line : lines) {
    if (!::WinHttpAddRequestHeaders(request.get(),
                                    base::UTF8ToWide(line).c_str(),
                                    static_cast<DWORD>(-1),
                                    WINHTTP_ADDREQ_FLAG_ADD)) {
      ReportWinHttpFailure("WinHttpAddRequestHeaders");
      return false;
    }
  }

  if (!::WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, total_length, 0)) {
    ReportWinHttpFailure("WinHttpSendRequest");
    return false;
  }
  std::vector<uint8_t> buffer(kChunkSize);
  for (;;) {
    int64_t n = 0;
    if (body_stream_) {
      n = body_stream_->Read(buffer.data(), buffer.size());
      if (n < 0)
        return false;
    }
    std::string data;
    if (n > 0) {
      const std::string_view bytes(reinterpret_cast<const char*>(buffer.data()),
                                   static_cast<size_t>(n));
      data = chunked ? ChunkSizeText(static_cast<size_t>(n)) + "\r\n" +
                           std::string(bytes) + "\r\n"
                     : std::string(bytes);
    } else if (chunked) {
      data = "0\r\n\r\n";
    }
    if (!data.empty() && !WriteData(request.get(), data))
      return false;
    if (n == 0)
      break;
  }

  if (!::WinHttpReceiveResponse(request.get(), nullptr)) {
    ReportWinHttpFailure("WinHttpReceiveResponse");
    return false;
  }
  DWORD status = 0;
  DWORD status_size = sizeof(status);
  if (!::WinHttpQueryHeaders(
          request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
          WINHTTP_HEADER_NAME_BY_INDEX, &status, &status_size,
          WINHTTP_NO_HEADER_INDEX)) {
    ReportWinHttpFailure("WinHttpQueryHeaders");
    return false;
  }
  if (status != 200) {
    base::PlatformLogError("HTTP status " + std::to_string(status));
    return false;
  }
  response_body->clear();
  char piece[4096];
  for (;;) {
    DWORD read = 0;
    if (!::WinHttpReadData(request.get(), piece, sizeof(piece), &read)) {
      ReportWinHttpFailure("WinHttpReadData");
      return false;
    }
    if (read == 0)
      break;
    response_body->append(piece, read);
  }
  return true;
}

}  // namespace crashpad
