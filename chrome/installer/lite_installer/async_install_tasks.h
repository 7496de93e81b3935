#ifndef CHROME_INSTALLER_LITE_INSTALLER_ASYNC_INSTALL_TASKS_H_
#define CHROME_INSTALLER_LITE_INSTALLER_ASYNC_INSTALL_TASKS_H_

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/scoped_handle.h"

class BrandPackageInfo;
class DistribInfoParams;

namespace installer {

// What a variations (or A/B configuration) response carries.
struct VariationsResponse {
  std::string body;
  std::string signature;
  std::string last_modified;
  std::string country;
};

// Downloads the seed at `url` and saves it with its headers at `path`.
// False (and no file) on any failure, each logged.
bool DownloadAndSaveVariations(const std::string& url,
                               const std::wstring& path,
                               HANDLE stop_event);
// Writes `response` to `path` as pretty JSON: the whole file or none (it is
// written beside `path` and moved into place).
bool SaveVariations(const std::wstring& path,
                    const VariationsResponse& response);

}  // namespace installer

// `url` with the brand, partner, user identifier and installer version
// appended as query parameters; empty values are left out, nothing is
// escaped.
std::string AppendStatParamsToUrl(const std::string& url,
                                  const BrandPackageInfo& brand);
// The same with the user identifier given.
std::string AppendStatParamsToUrl(const std::string& url,
                                  const BrandPackageInfo& brand,
                                  const std::string& user_id);

namespace lite_installer {

// The server configuration bundle's URL for a brand and partner.
std::string ServerConfigUrl(const std::string& brand_id,
                            const std::string& partner_id);
// The wallpaper bundle's URL: `base` followed by `suffix`, or empty when the
// two together would name another scheme, host or port than `base` (the
// suffix comes from the distribution parameters, which nothing signs).
std::string WallpaperBundleUrl(const std::string& base,
                               const std::string& suffix);

// Data the browser would otherwise fetch at its first start, fetched while
// the archive downloads and setup runs: a variations seed, an A/B
// configuration, a server configuration bundle and a wallpaper bundle, plus a
// path reserved for the new-tab page. Each wanted kind gets a path in the
// system temporary folder at construction; the downloads run one after
// another on a thread of their own. Setup receives the paths and finds a file
// at each one that was fetched in time.
class AsyncInstallTasks {
 public:
  using Task = std::function<void()>;

  AsyncInstallTasks(const BrandPackageInfo& brand,
                    const DistribInfoParams& params);
  AsyncInstallTasks(const AsyncInstallTasks&) = delete;
  AsyncInstallTasks& operator=(const AsyncInstallTasks&) = delete;
  // Stops the worker and waits for it at most stop_wait_ms(); then deletes
  // the variations, A/B and server configuration files.
  ~AsyncInstallTasks();

  const std::wstring& variations_path() const { return variations_path_; }
  const std::wstring& abt_path() const { return abt_path_; }
  const std::wstring& webntp_path() const { return webntp_path_; }
  const std::wstring& server_config_path() const {
    return server_config_path_;
  }
  const std::wstring& wallpapers_path() const { return wallpapers_path_; }

  // How long destruction waits for a worker that does not stop: a read
  // from a server that stalls mid-body cannot be cut short, and must not
  // hold the installer's exit.
  static constexpr DWORD kStopWaitMs = 5000;
  static void set_stop_wait_ms_for_testing(DWORD wait_ms);

 private:
  bool PrepareTasks(const BrandPackageInfo& brand,
                    const DistribInfoParams& params);
  bool InitializeThread();

  std::wstring variations_path_;
  std::wstring abt_path_;
  std::wstring webntp_path_;
  std::wstring server_config_path_;
  std::wstring wallpapers_path_;
  base::ScopedKernelHandle thread_;
  // Shared with the worker, which keeps them alive when it is left to the
  // process's exit.
  std::shared_ptr<base::ScopedKernelHandle> stop_event_;
  std::shared_ptr<std::vector<Task>> tasks_;
};

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_ASYNC_INSTALL_TASKS_H_
