// Prefetch tasks: which kinds the distribution asks for, their reserved
// paths, the worker thread and the downloads it runs.

#include "chrome/installer/lite_installer/async_install_tasks.h"

#include <process.h>

#include <atomic>
#include <span>
#include <utility>

#include "base/json.h"
#include "base/platform_log.h"
#include "base/strings.h"
#include "brand/brand_package_info.h"
#include "brand/distrib_info_params.h"
#include "chrome/installer/lite_installer/service_origins.h"
#include "chrome/installer/norvel/util/network/downloader.h"
#include "chrome/installer/norvel/util/trust/trusted_list.h"
#include "deployment_config.h"
#include "logging/file_logger.h"
#include "logging/user_id.h"

namespace installer {

bool DownloadAndSaveVariations(const std::string& url,
                               const std::wstring& path,
                               HANDLE stop_event) {
  Downloader downloader;
  VariationsResponse response;
  if (!downloader.DownloadToString(url, stop_event, &response.body)) {
    PLOG(ERROR) << "Failed to download variations seed: "
                << downloader.last_error();
    return false;
  }
  response.signature = downloader.QueryResponseHeader("X-Seed-Signature");
  if (response.signature.empty()) {
    LOG(ERROR) << "Failed to get variations seed signature";
    return false;
  }
  response.last_modified = downloader.QueryResponseHeader("Last-Modified");
  response.country = downloader.QueryResponseHeader("X-Country");
  if (!SaveVariations(path, response)) {
    PLOG(ERROR) << "Failed to save variations in " << path;
    return false;
  }
  LOG(INFO) << "Variations are saved in " << path;
  return true;
}

bool SaveVariations(const std::wstring& path,
                    const VariationsResponse& response) {
  base::Json json = base::Json::object();
  json["variations_country"] = response.country;
  json["variations_last_modified_time"] = response.last_modified;
  json["variations_seed_base64"] = install_util::EncodeBase64(
      std::span<const uint8_t>(
          reinterpret_cast<const uint8_t*>(response.body.data()),
          response.body.size()));
  json["variations_seed_signature"] = response.signature;
  const std::string text = base::WriteJsonPretty(json);

  // Setup reads `path`: it gets the whole file or none. The file is written
  // beside it, in the same folder, and moved into place.
  const size_t slash = path.find_last_of(L'\\');
  const std::wstring folder =
      slash == std::wstring::npos ? L"." : path.substr(0, slash);
  wchar_t temp_path[MAX_PATH];
  bool written = false;
  if (!text.empty() &&
      ::GetTempFileNameW(folder.c_str(), L"var", 0, temp_path)) {
    {
      base::ScopedFileHandle file(::CreateFileW(temp_path, GENERIC_WRITE, 0,
                                                nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL,
                                                nullptr));
      DWORD count = 0;
      written = file.is_valid() &&
                ::WriteFile(file.get(), text.data(),
                            static_cast<DWORD>(text.size()), &count,
                            nullptr) &&
                count == text.size();
    }
    written = written && ::MoveFileExW(temp_path, path.c_str(),
                                       MOVEFILE_REPLACE_EXISTING) != FALSE;
    if (!written) {
      const DWORD error = ::GetLastError();
      ::DeleteFileW(temp_path);
      ::SetLastError(error);
    }
  }
  if (!written) {
    PLOG(ERROR) << "Failed to save downloaded variations update to " << path;
  }
  return written;
}

}  // namespace installer

std::string AppendStatParamsToUrl(const std::string& url,
                                  const BrandPackageInfo& brand) {
  return AppendStatParamsToUrl(url, brand, broupdater::GetUserId());
}

std::string AppendStatParamsToUrl(const std::string& url,
                                  const BrandPackageInfo& brand,
                                  const std::string& user_id) {
  const std::pair<const char*, const std::string*> kParams[] = {
      {"brand", &brand.brand_id_},
      {"partner", &brand.partner_id_},
      {"uid", &user_id},
  };
  const std::string version = deployment::kInstallerVersion;
  std::string result = url;
  auto append = [&result](const char* name, const std::string& value) {
    if (value.empty())
      return;
    result += result.find('?') == std::string::npos ? '?' : '&';
    result += name;
    result += '=';
    result += value;
  };
  for (const auto& [name, value] : kParams)
    append(name, *value);
  append("version", version);
  return result;
}

namespace lite_installer {

namespace {

// The platform log's source name for the two bundle downloads.
constexpr char kPlatformLogSource[] = "async_install_tasks";

DWORD g_stop_wait_ms = AsyncInstallTasks::kStopWaitMs;

// "scheme://authority" of `url`: everything before the first "/", "?", "#"
// or "\" after the scheme's "://". Empty when there is no scheme.
std::string OriginOf(const std::string& url) {
  const size_t scheme_end = url.find("://");
  if (scheme_end == std::string::npos || scheme_end == 0)
    return std::string();
  const size_t end = url.find_first_of("/?#\\", scheme_end + 3);
  return url.substr(0, end);
}

void DownloadServerConfig(const std::string& brand_id,
                          const std::string& partner_id,
                          const std::wstring& path,
                          HANDLE stop_event) {
  installer::Downloader downloader;
  if (!downloader.DownloadToFile(ServerConfigUrl(brand_id, partner_id), path,
                                 stop_event)) {
    base::PlatformLogError(
        kPlatformLogSource,
        "Failed to download server config bundle: " +
            base::WideToUTF8(downloader.last_error()));
  }
}

void DownloadWallpapers(const std::string& url,
                        const std::wstring& path,
                        HANDLE stop_event) {
  installer::Downloader downloader;
  if (!downloader.DownloadToFile(url, path, stop_event)) {
    base::PlatformLogError(kPlatformLogSource,
                           "Failed to download wallpaper bundle: " +
                               base::WideToUTF8(downloader.last_error()));
  }
}

// A path in the system temporary folder that no file occupies: a fresh
// temporary file's name, the file deleted at once. Empty on failure.
std::wstring ReservePath() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  wchar_t path[MAX_PATH];
  if (length == 0 || length > MAX_PATH ||
      !::GetTempFileNameW(folder, L"pf", 0, path)) {
    PLOG(ERROR) << "Cannot reserve a temporary file for a prefetch task in "
                << folder;
    return std::wstring();
  }
  ::DeleteFileW(path);
  return path;
}

// What the worker owns: its copies of the stop event and the tasks.
struct WorkerState {
  std::shared_ptr<base::ScopedKernelHandle> stop_event;
  std::shared_ptr<std::vector<AsyncInstallTasks::Task>> tasks;
};

unsigned __stdcall WorkerProc(void* param) {
  std::unique_ptr<WorkerState> state(static_cast<WorkerState*>(param));
  for (AsyncInstallTasks::Task& task : *state->tasks) {
    if (::WaitForSingleObject(state->stop_event->get(), 0) == WAIT_OBJECT_0)
      break;
    task();
  }
  return 0;
}

}  // namespace

std::string ServerConfigUrl(const std::string& brand_id,
                            const std::string& partner_id) {
  std::string query;
  if (!brand_id.empty())
    query = "brandID=" + brand_id;
  if (!partner_id.empty()) {
    if (!query.empty())
      query += '&';
    query += "partnerID=" + partner_id;
  }
  std::string url = std::string(kServiceOrigins.browser_api) +
                    "/configs/all_zip";
  if (!query.empty())
    url += "?" + query;
  return url;
}

std::string WallpaperBundleUrl(const std::string& base,
                               const std::string& suffix) {
  const std::string url = base + suffix;
  const std::string origin = OriginOf(base);
  if (origin.empty() || OriginOf(url) != origin)
    return std::string();
  return url;
}

AsyncInstallTasks::AsyncInstallTasks(const BrandPackageInfo& brand,
                                     const DistribInfoParams& params)
    : stop_event_(std::make_shared<base::ScopedKernelHandle>(
          ::CreateEventW(nullptr, TRUE, FALSE, nullptr))),
      tasks_(std::make_shared<std::vector<Task>>()) {
  if (PrepareTasks(brand, params))
    InitializeThread();
}

AsyncInstallTasks::~AsyncInstallTasks() {
  if (thread_.is_valid()) {
    ::SetEvent(stop_event_->get());
    if (::WaitForSingleObject(thread_.get(), g_stop_wait_ms) != WAIT_OBJECT_0) {
      // The worker keeps what it touches alive; the process's exit ends it.
      LOG(ERROR) << "Async install tasks did not stop within "
                 << g_stop_wait_ms << " ms; left to end with the process";
    }
  }
  for (const std::wstring* path :
       {&variations_path_, &abt_path_, &server_config_path_}) {
    if (!path->empty())
      ::DeleteFileW(path->c_str());
  }
}

void AsyncInstallTasks::set_stop_wait_ms_for_testing(DWORD wait_ms) {
  g_stop_wait_ms = wait_ms;
}

bool AsyncInstallTasks::PrepareTasks(const BrandPackageInfo& brand,
                                     const DistribInfoParams& params) {
  struct Kind {
    const char* key;
    const char* default_value;  // null: absent means not wanted
    bool any_value;             // wanted when non-empty, else when "1"
    std::wstring* path;
  };
  const Kind kKinds[] = {
      {"vup", "1", false, &variations_path_},
      {"abtup", "1", false, &abt_path_},
      {"webntp", nullptr, false, &webntp_path_},
      {"scup", nullptr, false, &server_config_path_},
      {"pwexp", nullptr, true, &wallpapers_path_},
  };
  std::string wallpaper_suffix;
  for (const Kind& kind : kKinds) {
    std::string value;
    if (!params.Get(kind.key, &value)) {
      if (!kind.default_value)
        continue;
      value = kind.default_value;
    }
    if (kind.any_value ? value.empty() : value != "1")
      continue;
    if (kind.path == &wallpapers_path_)
      wallpaper_suffix = value;
    *kind.path = ReservePath();
  }

  HANDLE stop = stop_event_->get();
  if (!variations_path_.empty()) {
    tasks_->push_back(
        [url = AppendStatParamsToUrl(brand.variations_url_, brand),
         path = variations_path_, stop] {
          installer::DownloadAndSaveVariations(url, path, stop);
        });
  }
  if (!abt_path_.empty()) {
    tasks_->push_back([url = AppendStatParamsToUrl(brand.abt_url_, brand),
                       path = abt_path_, stop] {
      installer::DownloadAndSaveVariations(url, path, stop);
    });
  }
  if (!server_config_path_.empty()) {
    tasks_->push_back([brand_id = brand.brand_id_,
                       partner_id = brand.partner_id_,
                       path = server_config_path_, stop] {
      DownloadServerConfig(brand_id, partner_id, path, stop);
    });
  }
  if (!wallpapers_path_.empty() && !brand.preloaded_wallpapers_url_.empty()) {
    const std::string url =
        WallpaperBundleUrl(brand.preloaded_wallpapers_url_, wallpaper_suffix);
    if (url.empty()) {
      base::PlatformLogError(
          kPlatformLogSource,
          "Refused a wallpaper bundle URL that leaves the host of " +
              brand.preloaded_wallpapers_url_ + ": " +
              brand.preloaded_wallpapers_url_ + wallpaper_suffix);
    } else {
      tasks_->push_back([url, path = wallpapers_path_, stop] {
        DownloadWallpapers(url, path, stop);
      });
    }
  }
  return !tasks_->empty();
}

bool AsyncInstallTasks::InitializeThread() {
  auto* state = new WorkerState{stop_event_, tasks_};
  thread_.reset(reinterpret_cast<HANDLE>(
      _beginthreadex(nullptr, 0, &WorkerProc, state, 0, nullptr)));
  if (!thread_.is_valid()) {
    PLOG(ERROR) << "Failed to create thread for async install tasks";
    delete state;
    return false;
  }
  return true;
}

}  // namespace lite_installer
