// Downloads one http:// URL in one of several ways and prints
//   ok=<0|1> bytes=<n> reads=<n> wall_s=<s> cpu_s=<s> server_cpu_s=<s>
// for tools/bench/download_throughput.sh. Exit code 0 on success.
//
//   download_bench downloader URL TARGET   what the installer does with the
//       setup archive: DownloadWithProgress into a file sink on TARGET, with
//       a stop event and a progress observer
//   download_bench wininet URL             the platform's floor: InternetOpenUrlW
//       and InternetReadFile into one buffer of the Downloader's size, the
//       bytes are dropped
//   download_bench wininet-file URL TARGET the same loop, each piece written
//       to TARGET (tells the cost of the file writes apart)
//   download_bench winsock URL             a bare recv loop on one socket
//       (plain HTTP/1.1 GET, Connection: close), the bytes are dropped
//
// Times cover the download alone, not Wine's process start-up: wall time from
// QueryPerformanceCounter, CPU as this process's user + kernel time. Under
// Wine part of the work happens in the wineserver, a Linux process: when
// LITE_BENCH_WINESERVER_PID names it, its CPU over the same span is read from
// Z:\proc\PID\stat (the prefix maps Z: to /) and printed as server_cpu_s;
// otherwise server_cpu_s is -1.
#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/scoped_handle.h"
#include "base/scoped_internet_handle.h"
#include "base/strings.h"
#include "chrome/installer/norvel/util/network/download_sink.h"
#include "chrome/installer/norvel/util/network/downloader.h"

namespace {

constexpr DWORD kBufferSize = installer::Downloader::kBufferSize;

double ProcessCpuSeconds() {
  FILETIME creation, exit, kernel, user;
  if (!::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel,
                         &user)) {
    return 0;
  }
  auto seconds = [](const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 1e7;
  };
  return seconds(user) + seconds(kernel);
}

// User + system CPU seconds of the Linux process `pid`, or -1.
double LinuxProcessCpuSeconds(const char* pid) {
  if (!pid || !*pid)
    return -1;
  std::string path = std::string("Z:\\proc\\") + pid + "\\stat";
  base::ScopedFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
  if (!file)
    return -1;
  char text[1024];
  DWORD read = 0;
  if (!::ReadFile(file.get(), text, sizeof(text) - 1, &read, nullptr))
    return -1;
  text[read] = '\0';
  // Fields after the command name, which is in parentheses: state is
  // field 3, utime field 14, stime field 15 (clock ticks of 1/100 s).
  const char* p = std::strrchr(text, ')');
  if (!p)
    return -1;
  unsigned long long ticks = 0;
  int field = 2;
  for (++p; *p && field < 15;) {
    while (*p == ' ')
      ++p;
    ++field;
    char* end = nullptr;
    unsigned long long value = std::strtoull(p, &end, 10);
    if (field == 14 || field == 15)
      ticks += value;
    p = end && end != p ? end : p + 1;
    while (*p && *p != ' ')
      ++p;
  }
  return field == 15 ? static_cast<double>(ticks) / 100.0 : -1;
}

struct Result {
  bool ok = false;
  unsigned long long bytes = 0;
  unsigned long long reads = 0;
};

// Counts what the installer's window would be told.
class CountingObserver : public installer::DownloadObserver {
 public:
  void SetProgress(float fraction) override { last_fraction_ = fraction; }
  void OnSlowDownload() override {}
  void SetRemainingTime(int64_t, installer::RemainingTimeKind) override {}

 private:
  float last_fraction_ = 0;
};

Result RunDownloader(const std::wstring& url, const std::wstring& target) {
  Result result;
  base::ScopedFileHandle file(::CreateFileW(target.c_str(), GENERIC_WRITE, 0,
                                            nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  base::ScopedKernelHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!file || !stop)
    return result;
  installer::FileDownloadSink sink(file.get());
  CountingObserver observer;
  const installer::DownloadResult download =
      installer::DownloadWithProgress(url, &sink, stop.get(), &observer);
  result.ok = download.ok;
  if (!result.ok) {
    std::fprintf(stderr, "download failed: %s\n",
                 base::WideToUTF8(download.error).c_str());
  }
  result.bytes = sink.bytes_written();
  return result;
}

Result RunWinInet(const std::wstring& url, const std::wstring& target) {
  Result result;
  base::ScopedFileHandle file;
  if (!target.empty()) {
    file.reset(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
      return result;
  }
  base::ScopedInternetHandle internet(::InternetOpenW(
      L"download_bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!internet)
    return result;
  base::ScopedInternetHandle request(::InternetOpenUrlW(
      internet.get(), url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
  if (!request)
    return result;
  static char buffer[kBufferSize];
  for (;;) {
    DWORD read = 0;
    if (!::InternetReadFile(request.get(), buffer, kBufferSize, &read))
      return result;
    if (read == 0)
      break;
    ++result.reads;
    result.bytes += read;
    DWORD written = 0;
    if (file && !::WriteFile(file.get(), buffer, read, &written, nullptr))
      return result;
  }
  result.ok = true;
  return result;
}

Result RunWinsock(const std::wstring& url) {
  Result result;
  // http://HOST:PORT/PATH
  std::string narrow = base::WideToUTF8(url);
  const std::string scheme = "http://";
  if (narrow.compare(0, scheme.size(), scheme) != 0)
    return result;
  size_t host_end = narrow.find('/', scheme.size());
  std::string authority = narrow.substr(scheme.size(), host_end - scheme.size());
  std::string path =
      host_end == std::string::npos ? "/" : narrow.substr(host_end);
  size_t colon = authority.find(':');
  std::string host = authority.substr(0, colon);
  int port = colon == std::string::npos
                 ? 80
                 : std::atoi(authority.c_str() + colon + 1);

  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
    return result;
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET)
    return result;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = ::inet_addr(host.c_str());
  std::string request = "GET " + path + " HTTP/1.1\r\nHost: " + authority +
                        "\r\nConnection: close\r\n\r\n";
  if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) !=
          0 ||
      ::send(s, request.data(), static_cast<int>(request.size()), 0) !=
          static_cast<int>(request.size())) {
    ::closesocket(s);
    return result;
  }
  static char buffer[kBufferSize];
  // Everything up to the first blank line is the response header: the last
  // four bytes seen, as one number, become CR LF CR LF.
  uint32_t last_four = 0;
  bool in_body = false;
  for (;;) {
    int n = ::recv(s, buffer, kBufferSize, 0);
    if (n < 0) {
      ::closesocket(s);
      return result;
    }
    if (n == 0)
      break;
    ++result.reads;
    int i = 0;
    while (!in_body && i < n) {
      last_four = (last_four << 8) | static_cast<uint8_t>(buffer[i++]);
      in_body = last_four == 0x0D0A0D0A;
    }
    result.bytes += static_cast<unsigned>(n - i);
  }
  ::closesocket(s);
  result.ok = in_body;
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring mode = argc > 1 ? argv[1] : L"";
  bool wants_target = mode == L"downloader" || mode == L"wininet-file";
  bool known = wants_target || mode == L"wininet" || mode == L"winsock";
  if (!known || argc != (wants_target ? 4 : 3)) {
    std::fprintf(stderr,
                 "usage: download_bench downloader|wininet-file URL TARGET\n"
                 "       download_bench wininet|winsock URL\n");
    return 2;
  }
  std::wstring url = argv[2];
  std::wstring target = wants_target ? argv[3] : L"";
  const char* server_pid = std::getenv("LITE_BENCH_WINESERVER_PID");

  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  double server_before = LinuxProcessCpuSeconds(server_pid);
  double cpu_before = ProcessCpuSeconds();
  ::QueryPerformanceCounter(&start);
  Result result;
  if (mode == L"downloader")
    result = RunDownloader(url, target);
  else if (mode == L"winsock")
    result = RunWinsock(url);
  else
    result = RunWinInet(url, target);
  ::QueryPerformanceCounter(&end);
  double cpu = ProcessCpuSeconds() - cpu_before;
  double server_after = LinuxProcessCpuSeconds(server_pid);
  double server = server_before < 0 || server_after < 0
                      ? -1
                      : server_after - server_before;

  std::printf("ok=%d bytes=%llu reads=%llu wall_s=%.4f cpu_s=%.3f "
              "server_cpu_s=%.3f\n",
              result.ok ? 1 : 0, result.bytes, result.reads,
              static_cast<double>(end.QuadPart - start.QuadPart) /
                  static_cast<double>(frequency.QuadPart),
              cpu, server);
  return result.ok ? 0 : 1;
}
