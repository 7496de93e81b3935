#include "chrome/installer/norvel/util/network/download_observer.h"

namespace installer {

void DownloadProgressReporter::OnBytesReceived(DWORD now_ticks,
                                               uint32_t done,
                                               uint32_t content_length) {
  if (content_length == 0)
    return;
  // A sink holding more than the resource is not complete (IsBodyComplete);
  // the fraction and the estimate never run past the end all the same.
  if (observer_) {
    float fraction =
        static_cast<float>(done) / static_cast<float>(content_length);
    observer_->SetProgress(fraction > 1.0f ? 1.0f : fraction);
  }
  // Unsigned arithmetic keeps the elapsed time right across the tick
  // counter's wrap-around after 49.7 days.
  DWORD elapsed_ms = now_ticks - start_ticks_;
  // Bytes kept from an earlier attempt took none of this attempt's time.
  const uint32_t received = done > start_bytes_ ? done - start_bytes_ : 0;
  if (received == 0 || elapsed_ms - last_report_ms_ < kEstimateIntervalMs)
    return;
  uint64_t left = done < content_length ? content_length - done : 0;
  uint64_t remaining_s = (left * elapsed_ms / received) / 1000;
  last_report_ms_ = elapsed_ms;
  if (!observer_)
    return;
  if (remaining_s + elapsed_ms / 1000 >= kSlowDownloadSeconds)
    observer_->OnSlowDownload();
  observer_->SetRemainingTime(static_cast<int64_t>(remaining_s),
                              RemainingTimeKind::kEstimate);
}

}  // namespace installer
