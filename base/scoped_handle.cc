#include "base/scoped_handle.h"

#include <cstdio>
#include <cstdlib>

#include "base/platform_log.h"

namespace base::internal {
namespace {

[[noreturn]] void Stop(const char* text) {
  PlatformLogError(text);
  if (::IsDebuggerPresent())
    __debugbreak();
  std::abort();
}

}  // namespace

void ReportCloseFailure(const char* close_function, DWORD error) {
  char text[128];
  std::snprintf(text, sizeof(text), "%s failed on an owned handle: error %lu",
                close_function, static_cast<unsigned long>(error));
  Stop(text);
}

void ReportForeignInvalidValue(const char* close_function) {
  char text[128];
  std::snprintf(text, sizeof(text),
                "a handle owner closed with %s was given the other kind's "
                "invalid value",
                close_function);
  Stop(text);
}

}  // namespace base::internal
