#ifndef BASE_PLATFORM_LOG_H_
#define BASE_PLATFORM_LOG_H_

#include <string_view>

namespace base {

// The platform layer's own diagnostics. They go to the debugger output, never
// into the installer's log file: the logger itself reports its internal
// trouble through here.
void PlatformLogError(std::string_view text);
// The same, under the name of the source file that reports it
// ("lite_installer: SOURCE: TEXT").
void PlatformLogError(std::string_view source, std::string_view text);

// Receives every line as it goes to the debugger output (without its line
// break), from any thread. Null stops it. For tests, which cannot read the
// debugger output of their own process.
using PlatformLogObserver = void (*)(std::string_view line);
void SetPlatformLogObserverForTesting(PlatformLogObserver observer);

}  // namespace base

#endif  // BASE_PLATFORM_LOG_H_
