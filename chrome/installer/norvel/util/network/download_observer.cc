#include "chrome/installer/norvel/util/network/download_observer.h"

namespace installer {

void DownloadProgressReporter::OnBytesReceived(DWORD now_ticks,
                                               uint32_t done,
                                               uint32_t content_length) {
  if (content_length == 0)
    return;
  // A resumed sink may hold more than a ranged response announces; the
  // fraction and the estimate never run past the end.
  if (observer_) {
    float fraction =
        static_cast<float>(done) / static_cast<float>(content_length);
    observer_->SetProgress(fraction > 1.0f ? 1.0f : fraction);
  }
  // Unsigned arithmetic keeps the elapsed time right across the tick
  // counter's wrap-around after 49.7 days.
  DWORD elapsed_ms = now_ticks - start_ticks_;
  if (done == 0 || elapsed_ms - last_report_ms_ < kEstimateIntervalMs)
    return;
  uint64_t left = done < content_length ? content_length - done : 0;
  uint64_t remaining_s = (left * elapsed_ms / done) / 1000;
  last_report_ms_ = elapsed_ms;
  if (!observer_)
    return;
  if (remaining_s + elapsed_ms / 1000 >= kSlowDownloadSeconds)
    observer_->OnSlowDownload();
  observer_->SetRemainingTime(static_cast<int64_t>(remaining_s),
                              RemainingTimeKind::kEstimate);
}

}  // namespace installer
