#ifndef TEST_SUPPORT_RECORDING_DELEGATE_H_
#define TEST_SUPPORT_RECORDING_DELEGATE_H_

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "chrome/installer/lite_installer/installer.h"

namespace test {

// Records what the Installer tells its window. Called on the install thread,
// read on the test's.
class RecordingDelegate : public Installer::Delegate {
 public:
  void OnDownloadProgress(float fraction) override {
    Record("progress", [&] { progress_.push_back(fraction); });
  }
  void OnSlowDownload() override {
    Record("slow", [&] { ++slow_; });
  }
  void OnTimeRemaining(int32_t seconds, int32_t state) override {
    Record("remaining", [&] { remaining_.emplace_back(seconds, state); });
  }
  void OnInstallFinished(bool finished) override { Record("finished"); }
  void OnInstallError(InstallErrorKind kind) override {
    Record("error " + std::to_string(kind));
  }
  uint32_t GetWindowHandle() override { return 1234; }
  void SetProgress(int32_t percent) override {
    Record("percent " + std::to_string(percent));
  }
  void DisableCancel() override { Record("disable cancel"); }

  // Every call as text, in order: "progress", "slow", "remaining",
  // "finished", "error KIND", "percent N", "disable cancel".
  std::vector<std::string> calls() const { return Locked(calls_); }
  // The download fractions, (seconds, state) estimates and slow-download
  // notices, in order.
  std::vector<float> progress() const { return Locked(progress_); }
  std::vector<std::pair<int32_t, int32_t>> remaining() const {
    return Locked(remaining_);
  }
  int slow() const { return Locked(slow_); }

 private:
  void Record(
      std::string call,
      const std::function<void()>& also = [] {}) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
    also();
  }
  template <typename T>
  T Locked(const T& value) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return value;
  }

  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::vector<float> progress_;
  std::vector<std::pair<int32_t, int32_t>> remaining_;
  int slow_ = 0;
};

}  // namespace test

#endif  // TEST_SUPPORT_RECORDING_DELEGATE_H_
