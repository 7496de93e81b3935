#include "base/platform_log.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace base {
namespace {

std::atomic<PlatformLogSink*> g_sink{nullptr};

const char* Prefix(PlatformLogSeverity severity) {
  switch (severity) {
    case PlatformLogSeverity::kError:
      return "lite_installer: ";
    case PlatformLogSeverity::kWarning:
      return "lite_installer (warning): ";
    case PlatformLogSeverity::kVerbose:
      break;
  }
  return "lite_installer (verbose): ";
}

void Write(PlatformLogSeverity severity, std::string_view text) {
  std::string line(Prefix(severity));
  line.append(text);
  line.push_back('\n');
  ::OutputDebugStringA(line.c_str());
  if (PlatformLogSink* sink = g_sink.load())
    sink->OnPlatformLog(severity, text);
}

}  // namespace

void PlatformLogError(std::string_view text) {
  Write(PlatformLogSeverity::kError, text);
}

void PlatformLogError(std::string_view source, std::string_view text) {
  std::string line(source);
  line.append(": ");
  line.append(text);
  Write(PlatformLogSeverity::kError, line);
}

void PlatformLogWarning(std::string_view text) {
  Write(PlatformLogSeverity::kWarning, text);
}

void PlatformLogVerbose(std::string_view text) {
  Write(PlatformLogSeverity::kVerbose, text);
}

PlatformLogSink* SetPlatformLogSinkForTesting(PlatformLogSink* sink) {
  return g_sink.exchange(sink);
}

}  // namespace base
