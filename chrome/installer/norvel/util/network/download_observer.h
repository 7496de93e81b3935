#ifndef CHROME_INSTALLER_NORVEL_UTIL_NETWORK_DOWNLOAD_OBSERVER_H_
#define CHROME_INSTALLER_NORVEL_UTIL_NETWORK_DOWNLOAD_OBSERVER_H_

#include <windows.h>

#include <cstdint>

namespace installer {

// What a remaining-time report means.
enum class RemainingTimeKind : int {
  kUnknown = 0,   // seconds is -1
  kEstimate = 1,  // seconds is an estimate
  kFinished = 2,  // seconds is 0
};

// Told about a download's progress; implemented by the callers.
class DownloadObserver {
 public:
  virtual ~DownloadObserver() = default;
  // `fraction` runs from 0 to 1.
  virtual void SetProgress(float fraction) = 0;
  // The download as a whole is expected to take two minutes or more.
  virtual void OnSlowDownload() = 0;
  virtual void SetRemainingTime(int64_t seconds, RemainingTimeKind kind) = 0;
};

// Turns the bytes received so far into progress fractions and, at most once a
// minute, remaining-time estimates. Pure: times are tick counts passed in.
// Both count what the sink holds against the whole resource, as the
// completeness check does (IsBodyComplete); the rate behind an estimate
// counts only what this attempt received in the time it took.
class DownloadProgressReporter {
 public:
  // Reports at most one estimate per this many milliseconds.
  static constexpr DWORD kEstimateIntervalMs = 60000;
  // Elapsed plus remaining seconds from which a download counts as slow.
  static constexpr uint64_t kSlowDownloadSeconds = 121;

  // `observer` may be null: the timing state advances all the same.
  // `start_bytes` is what the sink held when the attempt started (a resumed
  // download's kept bytes).
  DownloadProgressReporter(DownloadObserver* observer,
                           DWORD start_ticks,
                           uint32_t start_bytes = 0)
      : observer_(observer),
        start_ticks_(start_ticks),
        start_bytes_(start_bytes) {}

  // Called after every read that returned data. `done` counts every byte the
  // sink holds; `content_length` is the length of the whole resource, 0 when
  // unknown, which reports nothing.
  void OnBytesReceived(DWORD now_ticks, uint32_t done, uint32_t content_length);

 private:
  DownloadObserver* observer_;
  DWORD start_ticks_;
  uint32_t start_bytes_;
  DWORD last_report_ms_ = 0;
};

}  // namespace installer

#endif  // CHROME_INSTALLER_NORVEL_UTIL_NETWORK_DOWNLOAD_OBSERVER_H_
