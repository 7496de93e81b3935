#ifndef TEST_SUPPORT_PLATFORM_LOG_CAPTURE_H_
#define TEST_SUPPORT_PLATFORM_LOG_CAPTURE_H_

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform_log.h"

namespace test {

// Collects the platform log's lines (base/platform_log.h) for the life of
// the object, each as "ERROR: text", "WARNING: text" or "VERBOSE: text",
// oldest first.
class ScopedPlatformLogCapture : public base::PlatformLogSink {
 public:
  ScopedPlatformLogCapture()
      : previous_(base::SetPlatformLogSinkForTesting(this)) {}
  ScopedPlatformLogCapture(const ScopedPlatformLogCapture&) = delete;
  ScopedPlatformLogCapture& operator=(const ScopedPlatformLogCapture&) = delete;
  ~ScopedPlatformLogCapture() { base::SetPlatformLogSinkForTesting(previous_); }

  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> hold(lock_);
    return lines_;
  }
  // The lines joined, each ending with "\n".
  std::string Text() const {
    std::string text;
    for (const std::string& line : Lines())
      text += line + "\n";
    return text;
  }
  void Clear() {
    std::lock_guard<std::mutex> hold(lock_);
    lines_.clear();
  }

  void OnPlatformLog(base::PlatformLogSeverity severity,
                     std::string_view text) override {
    std::string line(severity == base::PlatformLogSeverity::kError ? "ERROR: "
                     : severity == base::PlatformLogSeverity::kWarning
                         ? "WARNING: "
                         : "VERBOSE: ");
    line.append(text);
    std::lock_guard<std::mutex> hold(lock_);
    lines_.push_back(std::move(line));
  }

 private:
  base::PlatformLogSink* previous_;
  mutable std::mutex lock_;
  std::vector<std::string> lines_;
};

}  // namespace test

#endif  // TEST_SUPPORT_PLATFORM_LOG_CAPTURE_H_
