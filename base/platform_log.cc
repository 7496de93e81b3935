#include "base/platform_log.h"

#include <windows.h>

#include <string>

namespace base {
namespace {

PlatformLogSink* g_sink = nullptr;

void Write(PlatformLogSeverity severity, std::string_view text) {
  std::string line(severity == PlatformLogSeverity::kError
                       ? "lite_installer: "
                       : "lite_installer (verbose): ");
  line.append(text);
  line.push_back('\n');
  ::OutputDebugStringA(line.c_str());
  if (PlatformLogSink* sink = g_sink)
    sink->OnPlatformLog(severity, text);
}

}  // namespace

void PlatformLogError(std::string_view text) {
  Write(PlatformLogSeverity::kError, text);
}

void PlatformLogVerbose(std::string_view text) {
  Write(PlatformLogSeverity::kVerbose, text);
}

PlatformLogSink* SetPlatformLogSinkForTesting(PlatformLogSink* sink) {
  PlatformLogSink* previous = g_sink;
  g_sink = sink;
  return previous;
}

}  // namespace base
