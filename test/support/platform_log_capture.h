#ifndef TEST_SUPPORT_PLATFORM_LOG_CAPTURE_H_
#define TEST_SUPPORT_PLATFORM_LOG_CAPTURE_H_

#include <windows.h>

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform_log.h"

namespace test {

// Collects the lines the platform log writes (from any thread) for the life
// of the object. One at a time.
class ScopedPlatformLogCapture {
 public:
  ScopedPlatformLogCapture() {
    Instance() = this;
    base::SetPlatformLogObserverForTesting(&Observe);
  }
  ScopedPlatformLogCapture(const ScopedPlatformLogCapture&) = delete;
  ScopedPlatformLogCapture& operator=(const ScopedPlatformLogCapture&) = delete;
  ~ScopedPlatformLogCapture() {
    base::SetPlatformLogObserverForTesting(nullptr);
    std::lock_guard<std::mutex> lock(Mutex());
    Instance() = nullptr;
  }

  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(Mutex());
    return lines_;
  }

 private:
  static void Observe(std::string_view line) {
    std::lock_guard<std::mutex> lock(Mutex());
    if (Instance())
      Instance()->lines_.emplace_back(line);
  }
  static ScopedPlatformLogCapture*& Instance() {
    static ScopedPlatformLogCapture* instance = nullptr;
    return instance;
  }
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }

  std::vector<std::string> lines_;
};

}  // namespace test

#endif  // TEST_SUPPORT_PLATFORM_LOG_CAPTURE_H_
