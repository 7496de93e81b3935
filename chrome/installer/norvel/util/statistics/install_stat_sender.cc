#include "chrome/installer/norvel/util/statistics/install_stat_sender.h"

#include <iterator>
#include <utility>
#include <vector>

#include "base/scoped_srw_lock.h"
#include "base/strings.h"
#include "chrome/installer/norvel/util/file_version.h"
#include "chrome/installer/norvel/util/network/async_http_request_sender.h"
#include "chrome/installer/norvel/util/network/url_escape.h"
#include "chrome/installer/norvel/util/registry.h"
#include "logging/file_logger.h"
#include "logging/user_id.h"

namespace installer {
namespace {

using ScopedLock = base::ScopedExclusiveLock;

struct KindInfo {
  const char* counter;
  const char* path;
};

constexpr KindInfo kKinds[] = {
    {"72992", "extended_stat"},
    {"72696", "nrbrowser_reinstall_dialog"},
    {"72696", "nrbrowser_pf_migration"},
    {"72924", "zombo_window"},
};

constexpr char kRequestPath[] = "/installstats/send/dtype=stred/pid=457";

// ",", "-" and "=" would end a name or a value early.
std::wstring EscapeVariable(std::wstring text) {
  for (wchar_t& c : text) {
    if (c == L',' || c == L'-' || c == L'=')
      c = L'_';
  }
  return EscapeUrlSegment(text);
}

std::wstring OwnFileVersion() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    PLOG(ERROR) << "Cannot obtain the installer's own path for its version.";
    return L"0.0.0.0";
  }
  return base::UTF8ToWide(GetFileVersionString(path));
}

}  // namespace

std::string InstallerTypeText(int32_t installer_type) {
  switch (installer_type) {
    case 0:
      return "lite";
    case 1:
      return "full";
    case 2:
      return "updater";
    case 3:
      return "service";
    case 4:
      return "service_audit";
    case 5:
      return "browser_diagnostics";
    default:
      return std::to_string(installer_type);
  }
}

std::string TargetText(int32_t target) {
  static constexpr const char* kTargets[] = {
      "",        "mini",    "service",
      "unknown", "icu_dat", "icu_dat_lock_failed",
      "version_folder_files_check"};
  if (target >= 0 && target < static_cast<int32_t>(std::size(kTargets)))
    return kTargets[target];
  return std::to_string(target);
}

std::wstring LaunchedEventName(const std::wstring& command_line) {
  if (command_line.size() < 3)
    return std::wstring();
  std::wstring text = command_line;
  if (!text.empty() && text.front() == L'"')
    text.erase(0, 1);
  if (!text.empty() && text.back() == L'"')
    text.pop_back();
  for (wchar_t& c : text) {
    if (c == L'\\')
      c = L'!';
    else if (c >= L'A' && c <= L'Z')
      c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return L"Global\\" + text;
}

InstallStatSender::InstallStatSender(
    int32_t target,
    int32_t installer_type,
    const std::wstring& hand_over,
    const std::map<std::string, std::wstring>& initial,
    int32_t stat_kind,
    std::string origin,
    std::unique_ptr<install_util::AsyncHttpRequestSender> sender)
    : target_(target),
      installer_type_(installer_type),
      params_(initial),
      stat_kind_(stat_kind),
      origin_(std::move(origin)),
      sender_(std::move(sender)) {
  if (!hand_over.empty())
    ReadHandOver(hand_over);
  SetLaunched();
  params_["ui"] = base::UTF8ToWide(broupdater::GetUserId());
  if (params_.find("old_ver") == params_.end()) {
    std::wstring old_version = ReadProductValue(L"npv");
    if (old_version.empty())
      old_version = ReadProductValue(L"pv");
    params_["old_ver"] = old_version;
  }
  if (installer_type_ == kTypeLite)
    params_["lite_ver"] = OwnFileVersion();
  else if (installer_type_ == kTypeUpdater)
    params_["ver"] = OwnFileVersion();
  params_["installer_type"] = base::UTF8ToWide(
      installer_type_ == kTypeOldStyle ? TargetText(target_)
                                       : InstallerTypeText(installer_type_));
}

InstallStatSender::~InstallStatSender() {
  if (sender_ && !sender_->WaitForQueue(kShutdownWaitMs))
    LOG(WARNING) << "Statistics requests still queued after "
                 << kShutdownWaitMs << " ms are dropped.";
  sender_.reset();
  if (installer_type_ == kTypeLite || installer_type_ == kTypeFull)
    RemoveProductValue(kHandOverValue);
}

void InstallStatSender::ReadHandOver(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos)
      end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  for (size_t i = 0; i < lines.size();) {
    if (lines[i].empty()) {
      ++i;  // An empty name starts no pair.
      continue;
    }
    const std::string name = base::WideToUTF8(lines[i]);
    params_[name] = i + 1 < lines.size() ? lines[i + 1] : std::wstring();
    i += 2;
  }
}

void InstallStatSender::SetLaunched() {
  if (installer_type_ != kTypeLite && installer_type_ != kTypeFull) {
    params_.emplace("launched", L"false");
    return;
  }
  bool launched = false;
  const std::wstring name =
      LaunchedEventName(ReadProductValue(L"InstallerSuccessLaunchCmdLine"));
  if (!name.empty()) {
    HANDLE event = ::OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
    if (event) {
      launched = true;
      ::CloseHandle(event);
    }
  }
  params_["launched"] = launched ? L"true" : L"false";
}

void InstallStatSender::SetParam(const char* name, const std::string& value) {
  ScopedLock lock(&lock_);
  params_[name] = base::UTF8ToWide(value);
}

std::string InstallStatSender::GetParam(const char* name) const {
  ScopedLock lock(&lock_);
  auto it = params_.find(name);
  return it == params_.end() ? std::string() : base::WideToUTF8(it->second);
}

void InstallStatSender::SetBrandId(const std::string& v) { SetParam("brand_id", v); }
void InstallStatSender::SetPartnerId(const std::string& v) { SetParam("partner_id", v); }
void InstallStatSender::SetBannerId(const std::string& v) { SetParam("banner_id", v); }
void InstallStatSender::SetNorvelUid(const std::string& v) { SetParam("norvel_uid", v); }
void InstallStatSender::SetDistrNorvelUid(const std::string& v) {
  SetParam("distr_norvel_uid", v);
}
void InstallStatSender::SetNewVersion(const std::string& v) { SetParam("new_ver", v); }
void InstallStatSender::SetOldVersion(const std::string& v) { SetParam("old_ver", v); }
void InstallStatSender::SetInstallType(const std::string& v) {
  SetParam("install_type", v);
}
void InstallStatSender::SetZilva(const std::string& v) { SetParam("zilva", v); }
void InstallStatSender::SetCorporateInstaller(const std::string& v) {
  SetParam("corporate_installer", v);
}
void InstallStatSender::SetBrowserPresent(const std::string& v) {
  SetParam("browser_present", v);
}
void InstallStatSender::SetTestIds(const std::string& v) { SetParam("testids", v); }
void InstallStatSender::SetUpdateOrigin(const std::string& v) {
  SetParam("update_origin", v);
}

std::string InstallStatSender::GetOldVersion() const {
  return GetParam("old_ver");
}

std::string InstallStatSender::GetBrowserPresent() const {
  return GetParam("browser_present");
}

std::map<std::string, std::wstring> InstallStatSender::params() const {
  ScopedLock lock(&lock_);
  return params_;
}

std::wstring InstallStatSender::GetQueryUrl(const StatEvent& event) const {
  return GetQueryUrlForKind(event, stat_kind_);
}

std::wstring InstallStatSender::GetQueryUrlForKind(const StatEvent& event,
                                                   int32_t kind) const {
  if (kind < 0 || kind >= static_cast<int32_t>(std::size(kKinds))) {
    LOG(ERROR) << "Unknown statistics kind " << kind;
    return std::wstring();
  }
  ScopedLock lock(&lock_);
  std::map<std::string, std::wstring> all = params_;
  // Common parameters win over an event's.
  all.insert(event.begin(), event.end());
  if (installer_type_ == kTypeOldStyle) {
    all["old_style"] = L"1";
  } else {
    if (target_ != 0)
      all["target"] = base::UTF8ToWide(TargetText(target_));
    all["old_style"] = L"0";
  }
  all.emplace("brand_id", L"unknown");

  LOG(INFO) << "InstallStatSender::Send:";
  std::wstring vars;
  for (const auto& [name, value] : all) {
    LOG(INFO) << name << "=" << value;
    if (!vars.empty())
      vars += L",";
    vars += L"-" + EscapeVariable(base::UTF8ToWide(name)) + L"=" +
            EscapeVariable(value);
  }
  std::string url = origin_ + kRequestPath + "/cid=" + kKinds[kind].counter +
                    "/path=" + kKinds[kind].path;
  std::wstring wide = base::UTF8ToWide(url);
  if (!vars.empty())
    wide += L"/vars=" + vars;
  wide += L"/*";
  return wide;
}

bool InstallStatSender::Send(const StatEvent& event) {
  const std::wstring url = GetQueryUrl(event);
  return !url.empty() && sender_ && sender_->Send(url);
}

bool InstallStatSender::SendReinstallDialogEvent(const StatEvent& event) {
  const std::wstring url = GetQueryUrlForKind(event, kStatKindReinstallDialog);
  return !url.empty() && sender_ && sender_->Send(url);
}

void InstallStatSender::set_sender_for_testing(
    std::unique_ptr<install_util::AsyncHttpRequestSender> sender) {
  sender_ = std::move(sender);
}

std::wstring InstallStatSender::GetHandOverText() const {
  ScopedLock lock(&lock_);
  std::wstring text;
  for (const auto& [name, value] : params_)
    text += base::UTF8ToWide(name) + L"\n" + value + L"\n";
  return text;
}

bool InstallStatSender::SaveForHandOver() const {
  return StoreProductValue(kHandOverValue, GetHandOverText());
}

}  // namespace installer
