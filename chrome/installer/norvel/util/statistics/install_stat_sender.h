#ifndef CHROME_INSTALLER_NORVEL_UTIL_STATISTICS_INSTALL_STAT_SENDER_H_
#define CHROME_INSTALLER_NORVEL_UTIL_STATISTICS_INSTALL_STAT_SENDER_H_

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "chrome/installer/norvel/util/statistics/stat_event.h"

namespace install_util {
class AsyncHttpRequestSender;
}  // namespace install_util

namespace installer {

// The parameters every statistics request of one run carries (brand,
// partner, versions, user identifier, installer type ...). Merges them with
// each event's own, builds the request URL and queues it on the
// fire-and-forget sender. Hands the parameters to a second installer process
// through the product key's "install_stat" value.
//
// Thread-safe: the install thread changes parameters and sends installation
// events while the window thread sends window actions. Setters and URL
// building take one lock; the stat kind of a request travels with it.
class InstallStatSender {
 public:
  // Counter and path of a request.
  enum StatKind : int32_t {
    kStatKindExtended = 0,          // 72992, "extended_stat"
    kStatKindReinstallDialog = 1,   // 72696, "nrbrowser_reinstall_dialog"
    kStatKindPfMigration = 2,       // 72696, "nrbrowser_pf_migration"
    kStatKindZomboWindow = 3,       // 72924, "zombo_window"
  };

  // Installer types; -1 sends the target text as the type ("old_style" 1).
  static constexpr int32_t kTypeOldStyle = -1;
  static constexpr int32_t kTypeLite = 0;
  static constexpr int32_t kTypeFull = 1;
  static constexpr int32_t kTypeUpdater = 2;

  // The product key's value that carries the parameters to another process.
  static constexpr wchar_t kHandOverValue[] = L"install_stat";
  // How long destruction lets queued requests leave.
  static constexpr DWORD kShutdownWaitMs = 3000;

  // `origin` is the statistics service, scheme://host[:port]. `hand_over`
  // is a text SaveForHandOver wrote (empty for none); `sender` sends the
  // requests.
  InstallStatSender(int32_t target,
                    int32_t installer_type,
                    const std::wstring& hand_over,
                    const std::map<std::string, std::wstring>& initial,
                    int32_t stat_kind,
                    std::string origin,
                    std::unique_ptr<install_util::AsyncHttpRequestSender> sender);
  InstallStatSender(const InstallStatSender&) = delete;
  InstallStatSender& operator=(const InstallStatSender&) = delete;
  // Lets queued requests leave (up to kShutdownWaitMs), ends the sender,
  // then removes "install_stat" for the lite and full types.
  ~InstallStatSender();

  // The common parameters, by slot (0 to 12). Each replaces an earlier
  // value; the text is UTF-8.
  void SetBrandId(const std::string& value);              // 0
  void SetPartnerId(const std::string& value);            // 1
  void SetBannerId(const std::string& value);             // 2
  void SetNorvelUid(const std::string& value);            // 3
  void SetDistrNorvelUid(const std::string& value);       // 4
  void SetNewVersion(const std::string& value);           // 5
  void SetOldVersion(const std::string& value);           // 6
  void SetInstallType(const std::string& value);          // 7
  void SetZilva(const std::string& value);                // 8
  void SetCorporateInstaller(const std::string& value);   // 9
  void SetBrowserPresent(const std::string& value);       // 10
  void SetTestIds(const std::string& value);              // 11
  void SetUpdateOrigin(const std::string& value);         // 12
  // Slots 6 and 10 read back as UTF-8; empty when absent.
  std::string GetOldVersion() const;
  std::string GetBrowserPresent() const;

  // The request URL of `event` with the constructed kind, and with `kind`.
  // Logs "InstallStatSender::Send:" and every parameter of the request.
  std::wstring GetQueryUrl(const StatEvent& event) const;
  std::wstring GetQueryUrlForKind(const StatEvent& event, int32_t kind) const;
  // Queues the URL of `event`; true when it was queued.
  bool Send(const StatEvent& event);
  // The same as a reinstall-dialog request (counter 72696); other requests
  // keep the constructed kind, even those built at the same moment.
  bool SendReinstallDialogEvent(const StatEvent& event);

  // Name, line feed, value, line feed for each parameter in name order.
  std::wstring GetHandOverText() const;
  // Stores GetHandOverText() under "install_stat" of the product key.
  bool SaveForHandOver() const;

  // A copy of the common parameters.
  std::map<std::string, std::wstring> params() const;
  const std::string& origin() const { return origin_; }
  void set_origin_for_testing(std::string origin) { origin_ = std::move(origin); }
  // Replaces the request sender (ending the old one's worker first).
  void set_sender_for_testing(
      std::unique_ptr<install_util::AsyncHttpRequestSender> sender);

 private:
  void SetParam(const char* name, const std::string& value);
  std::string GetParam(const char* name) const;
  void ReadHandOver(const std::wstring& text);
  void SetLaunched();

  int32_t target_;
  int32_t installer_type_;
  std::map<std::string, std::wstring> params_;
  int32_t stat_kind_;
  mutable SRWLOCK lock_ = SRWLOCK_INIT;
  std::string origin_;
  std::unique_ptr<install_util::AsyncHttpRequestSender> sender_;
};

// The text of an installer type and of a target, as requests carry them.
std::string InstallerTypeText(int32_t installer_type);
std::string TargetText(int32_t target);

// "InstallerSuccessLaunchCmdLine" turned into the name of the event whose
// existence means the browser was launched: without enclosing quotes,
// backslashes as "!", A to Z in lower case, after "Global\". Empty when the
// text is shorter than three characters.
std::wstring LaunchedEventName(const std::wstring& command_line);

}  // namespace installer

#endif  // CHROME_INSTALLER_NORVEL_UTIL_STATISTICS_INSTALL_STAT_SENDER_H_
