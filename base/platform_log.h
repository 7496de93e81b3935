#ifndef BASE_PLATFORM_LOG_H_
#define BASE_PLATFORM_LOG_H_

#include <string_view>

namespace base {

// The platform layer's own diagnostics. They go to the debugger output, never
// into the installer's log file: the logger itself reports its internal
// trouble through here, and so do probes of system components whose reports
// matter to a developer but not to the installation's log, and the low-level
// parts that run where the file logger must not be touched (the crash upload
// inside a broken process).
enum class PlatformLogSeverity { kVerbose, kWarning, kError };

void PlatformLogError(std::string_view text);
// The same, under the name of the source that reports it ("SOURCE: TEXT").
void PlatformLogError(std::string_view source, std::string_view text);
void PlatformLogWarning(std::string_view text);
void PlatformLogVerbose(std::string_view text);

// Receives every platform log line as well (tests). Lines may come from any
// thread; the receiver serialises them itself.
class PlatformLogSink {
 public:
  virtual void OnPlatformLog(PlatformLogSeverity severity,
                             std::string_view text) = 0;

 protected:
  ~PlatformLogSink() = default;
};

// Installs `sink` (null removes it) and returns the one it replaces. Set it
// before the code under test starts threads that log.
PlatformLogSink* SetPlatformLogSinkForTesting(PlatformLogSink* sink);

}  // namespace base

#endif  // BASE_PLATFORM_LOG_H_
