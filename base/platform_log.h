#ifndef BASE_PLATFORM_LOG_H_
#define BASE_PLATFORM_LOG_H_

#include <string_view>

namespace base {

// The platform layer's own diagnostics. They go to the debugger output, never
// into the installer's log file: the logger itself reports its internal
// trouble through here.
void PlatformLogError(std::string_view text);

}  // namespace base

#endif  // BASE_PLATFORM_LOG_H_
