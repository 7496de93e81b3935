#include "base/platform_log.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace base {

namespace {

std::atomic<PlatformLogObserver> g_observer{nullptr};

void Emit(std::string line) {
  if (PlatformLogObserver observer = g_observer.load())
    observer(line);
  line.push_back('\n');
  ::OutputDebugStringA(line.c_str());
}

}  // namespace

void PlatformLogError(std::string_view text) {
  std::string line("lite_installer: ");
  line.append(text);
  Emit(std::move(line));
}

void PlatformLogError(std::string_view source, std::string_view text) {
  std::string line("lite_installer: ");
  line.append(source);
  line.append(": ");
  line.append(text);
  Emit(std::move(line));
}

void SetPlatformLogObserverForTesting(PlatformLogObserver observer) {
  g_observer.store(observer);
}

}  // namespace base
