// The installation's statistics events: what happened, as keys and values,
// handed to the statistics sender.

#include "chrome/installer/lite_installer/installer.h"

#include <windows.h>

#include <wininet.h>

#include <cmath>
#include <string>

#include "base/strings.h"
#include "chrome/installer/lite_installer/monotonic_time.h"
#include "chrome/installer/lite_installer/scale_factor.h"
#include "chrome/installer/norvel/util/install_uac_util.h"
#include "chrome/installer/norvel/util/statistics/install_stat_sender.h"
#include "chrome/installer/norvel/util/statistics/stat_event.h"
#include "logging/file_logger.h"

namespace {

using installer::StatEvent;

// INTERNET_MAX_URL_LENGTH.
constexpr DWORD kMaxUrlLength = 2084;

std::wstring Number(int64_t value) {
  return base::NumberToWide(value);
}

// The host of the downloader's final URL, or empty.
std::wstring RedirectHost(const std::wstring& final_url) {
  if (final_url.empty())
    return std::wstring();
  wchar_t canonical[kMaxUrlLength];
  DWORD length = kMaxUrlLength;
  if (!::InternetCanonicalizeUrlW(final_url.c_str(), canonical, &length,
                                  ICU_BROWSER_MODE)) {
    PLOG(ERROR) << "Cannot canonicalize the final url " << final_url;
    return std::wstring();
  }
  wchar_t host[kMaxUrlLength] = {};
  URL_COMPONENTSW parts = {sizeof(parts)};
  parts.lpszHostName = host;
  parts.dwHostNameLength = kMaxUrlLength;
  if (!::InternetCrackUrlW(canonical, 0, ICU_DECODE, &parts)) {
    PLOG(ERROR) << "Cannot crack the final url " << canonical;
    return std::wstring();
  }
  return std::wstring(host, parts.dwHostNameLength);
}

// Exit codes of a direct setup run that count as success.
bool IsGoodSetupExitCode(int32_t code, bool elevated) {
  if (elevated)
    return code == lite_installer::kInstallerExitDefault;
  return code == 1 || code == 3 || code == 5;
}

}  // namespace

void Installer::SendInstallerStartedEvent() {
  // Halves away from zero, as std::lround rounds.
  const long dpi = std::lround(lite_installer::GetDeviceScaleFactor() * 100);
  // "%dx%d", without the C runtime's wide printf.
  const std::wstring resolution = Number(::GetSystemMetrics(SM_CXSCREEN)) +
                                  L"x" +
                                  Number(::GetSystemMetrics(SM_CYSCREEN));
  stat_reporter_->Send({{"action", L"installer_started"},
                        {"dpi", Number(dpi)},
                        {"resolution", resolution}});
}

void Installer::SendDownloadStartedEvent() {
  stat_reporter_->Send({{"action", L"download"}, {"stage", L"started"}});
}

void Installer::SendDownloadAttemptEvent(bool ok,
                                         const std::wstring& url,
                                         int attempt_number,
                                         uint32_t downloaded_size,
                                         uint32_t total_size,
                                         const std::string& error,
                                         const std::wstring& final_url,
                                         int architecture) {
  if (cancel_count_.load(std::memory_order_seq_cst) > 0)
    return;
  // Twice: the service unescapes the path once before it reads the value.
  const std::wstring escaped_url =
      base::UTF8ToWide(installer::EscapeForStatistics(
          installer::EscapeForStatistics(base::WideToUTF8(url))));
  const std::wstring redirect = RedirectHost(final_url);
  if (!ok)
    SendDownloadErrorEvent(attempt_number, error, escaped_url, redirect);

  StatEvent event = {{"action", L"download_attempt"},
                     {"status", ok ? L"success" : L"failed"},
                     {"attempt_number", Number(attempt_number)},
                     {"downloaded_size", Number(downloaded_size)},
                     {"total_size", Number(total_size)}};
  if (!ok)
    event["error"] = base::UTF8ToWide(error);
  if (!escaped_url.empty())
    event["url"] = escaped_url;
  if (!redirect.empty())
    event["redirect"] = redirect;
  if (architecture == 1)
    event["x64"] = L"1";
  stat_reporter_->Send(event);
}

void Installer::SendDownloadErrorEvent(int attempt_number,
                                       const std::string& error,
                                       const std::wstring& escaped_url,
                                       const std::wstring& redirect_host) {
  StatEvent event = {
      {"action", L"download"},
      {"stage", L"error"},
      {"error", L"attempt-" + Number(attempt_number) + L"-" +
                    base::UTF8ToWide(error)}};
  if (!escaped_url.empty())
    event["url"] = escaped_url;
  if (!redirect_host.empty())
    event["redirect"] = redirect_host;
  stat_reporter_->Send(event);
}

void Installer::SendDownloadFinishedEvent() {
  stat_reporter_->Send(
      {{"action", L"download"},
       {"stage", L"finished"},
       {"download_time", Number(lite_installer::WholeSeconds(download_time_))}});
}

void Installer::SendSetupArcLockErrorEvent() {
  stat_reporter_->Send({{"action", L"setup_arc_lock"}, {"stage", L"error"}});
}

void Installer::SendVerificationErrorEvent() {
  stat_reporter_->Send({{"action", L"verification"}, {"stage", L"error"}});
}

namespace {

const wchar_t* SetupAction(const installer::InstallStatSender& sender) {
  return sender.GetOldVersion().empty() ? L"setup" : L"update";
}

}  // namespace

void Installer::SendSetupLaunchedEvent() {
  const wchar_t* uac;
  if (!InstallUACUtil::AreUACNotificationsEnabled())
    uac = L"100";
  else
    uac = elevated_process_holder_ ? L"1" : L"0";
  stat_reporter_->Send({{"action", SetupAction(*stat_reporter_)},
                        {"stage", L"setup_exe_launched"},
                        {"uac", uac}});
}

void Installer::SendSetupExitedEvent(bool ok) {
  StatEvent event = {
      {"action", SetupAction(*stat_reporter_)},
      {"stage", L"setup_exe_exited"},
      {"setup_time", Number(lite_installer::WholeSeconds(setup_time_))}};
  if (!ok)
    event["error"] = L"FailedToStart";
  else if (!IsGoodSetupExitCode(exit_code_, elevated_process_holder_ != nullptr))
    event["error"] = Number(exit_code_);
  stat_reporter_->Send(event);
}

void Installer::SendInstallButtonClickedEvent(bool default_checked,
                                              bool sendstat_checked) {
  stat_reporter_->Send({{"action", L"install_browser_button_clicked"},
                        {"checkbox_default", default_checked ? L"1" : L"0"},
                        {"checkbox_sendstat", sendstat_checked ? L"1" : L"0"}});
}

void Installer::SendClickedButtonEvent(const std::wstring& text) {
  SendDialogEvent("clicked_button", text);
}

void Installer::SendClickedLinkEvent(const std::wstring& text) {
  SendDialogEvent("clicked_link", text);
}

void Installer::SendChosenCheckboxEvent(const std::wstring& text) {
  SendDialogEvent("chosen_checkbox", text);
}

void Installer::SendDialogEvent(const char* key, const std::wstring& text) {
  stat_reporter_->SendReinstallDialogEvent(
      {{key, text}, {"dialog_window", L"liteinstall"}});
}
