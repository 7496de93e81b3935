#include "crash/file_io_win.h"

#include <cstdio>

#include "base/platform_log.h"

namespace crashpad {

std::string FailedCallMessage(DWORD code, HMODULE module) {
  char text[512];
  const DWORD flags = FORMAT_MESSAGE_IGNORE_INSERTS |
                      (module ? FORMAT_MESSAGE_FROM_HMODULE : 0) |
                      FORMAT_MESSAGE_FROM_SYSTEM;
  DWORD length = ::FormatMessageA(flags, module, code,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  text, sizeof(text), nullptr);
  if (!length) {
    length = ::FormatMessageA(flags, module, code,
                              MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                              text, sizeof(text), nullptr);
  }
  char suffix[64];
  if (!length) {
    std::snprintf(suffix, sizeof(suffix),
                  "error 0x%lx while retrieving error 0x%lx",
                  static_cast<unsigned long>(::GetLastError()),
                  static_cast<unsigned long>(code));
    return suffix;
  }
  // System messages end with a full stop and CR LF.
  while (length && (text[length - 1] == ' ' || text[length - 1] == '\r' ||
                    text[length - 1] == '\n')) {
    --length;
  }
  std::snprintf(suffix, sizeof(suffix), " (0x%lx)",
                static_cast<unsigned long>(code));
  return std::string(text, length) + suffix;
}

void ReportFailedCall(std::string_view call, DWORD code, HMODULE module) {
  base::PlatformLogError(call, FailedCallMessage(code, module));
}

int64_t ReadFileOnce(HANDLE file, void* buffer, size_t size) {
  const DWORD to_read =
      size > INT32_MAX ? static_cast<DWORD>(INT32_MAX) : static_cast<DWORD>(size);
  DWORD read = 0;
  if (!::ReadFile(file, buffer, to_read, &read, nullptr)) {
    ReportFailedCall("ReadFile", ::GetLastError());
    return -1;
  }
  return read;
}

}  // namespace crashpad
