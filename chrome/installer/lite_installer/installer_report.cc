// The installation-finished report: one GET at the very end of every
// installation with this run's identifier, its outcome and three durations.

#include "chrome/installer/lite_installer/installer.h"

#include <cstdint>
#include <string>

#include "base/strings.h"
#include "chrome/installer/lite_installer/monotonic_time.h"
#include "chrome/installer/lite_installer/service_origins.h"
#include "chrome/installer/norvel/util/network/download_sink.h"
#include "chrome/installer/norvel/util/network/downloader.h"
#include "logging/file_logger.h"

namespace {

std::string SecondsText(int64_t microseconds) {
  return std::to_string(lite_installer::WholeSeconds(microseconds));
}

}  // namespace

std::string Installer::GetInstallationReportUrl(bool success) const {
  std::string url = lite_installer::kServiceOrigins.report;
  url += "/get/browser/install?ui=";
  // A GUID without braces, numbers and fixed words: nothing to escape.
  url += run_guid_;
  url += "&result=";
  // The user may cancel while setup still completes: the cancel wins.
  if (cancel_count_.load(std::memory_order_seq_cst) > 0)
    url += "cancelled";
  else
    url += success ? "success" : "failed";
  url += "&time=" + SecondsText(total_time_);
  if (download_time_ != 0)
    url += "&download_time=" + SecondsText(download_time_);
  if (setup_time_ != 0)
    url += "&install_time=" + SecondsText(setup_time_);
  return url;
}

void Installer::ReportInstallationFinished(bool success) {
  installer::MemoryDownloadSink sink;
  std::string error;
  std::wstring final_url;
  // Nothing is done with the answer; a failure changes nothing either.
  if (!Download(base::WidenBytes(GetInstallationReportUrl(success)), &sink,
                &error, &final_url)) {
    PLOG(ERROR) << "Cannot report installation status: " << error;
  }
}

bool Installer::Download(const std::wstring& url,
                         installer::DownloadSink* sink,
                         std::string* error,
                         std::wstring* final_url) {
  LOG(INFO) << "Attempt to download module: " << url;
  sink->Reset();
  installer::DownloadResult result =
      installer::DownloadWithProgress(url, sink, stop_event_.get(), nullptr);
  // Failure labels are ASCII.
  if (error)
    *error = base::WideToUTF8(result.error);
  if (final_url)
    *final_url = std::move(result.final_url);
  return result.ok;
}
