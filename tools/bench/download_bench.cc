// Downloads one URL to a file with installer::Downloader and prints
//   bytes=<n> wall_s=<s> user_s=<s> kernel_s=<s>
// for tools/bench/download_throughput.sh. Exit code 0 on success.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/strings.h"
#include "chrome/installer/norvel/util/network/downloader.h"

namespace {

double FileTimeSeconds(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) / 1e7;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: download_bench URL TARGET\n");
    return 2;
  }
  std::string url = base::WideToUTF8(argv[1]);
  std::wstring target = argv[2];

  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  installer::Downloader downloader;
  bool ok = downloader.DownloadToFile(url, target, nullptr);
  ::QueryPerformanceCounter(&end);

  FILETIME creation, exit, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user);
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  ::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data);
  unsigned long long bytes =
      (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) |
      data.nFileSizeLow;
  std::printf("ok=%d bytes=%llu wall_s=%.3f user_s=%.3f kernel_s=%.3f\n",
              ok ? 1 : 0, ok ? bytes : 0ULL,
              static_cast<double>(end.QuadPart - start.QuadPart) /
                  static_cast<double>(frequency.QuadPart),
              FileTimeSeconds(user), FileTimeSeconds(kernel));
  if (!ok) {
    std::fprintf(stderr, "download failed: %s\n",
                 base::WideToUTF8(downloader.last_error()).c_str());
  }
  return ok ? 0 : 1;
}
