// Obtaining the setup archive.

#include <windows.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "base/strings.h"
#include "brand/brand_package_info.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/lite_installer/monotonic_time.h"
#include "chrome/installer/lite_installer/switches.h"
#include "deployment_config.h"
#include "chrome/installer/norvel/util/network/download_observer.h"
#include "chrome/installer/norvel/util/network/download_sink.h"
#include "chrome/installer/norvel/util/network/downloader.h"
#include "chrome/installer/norvel/util/file_version.h"
#include "base/windows_version.h"
#include "chrome/installer/norvel/util/statistics/install_stat_sender.h"
#include "logging/file_logger.h"

namespace {

// The download service tells the installer's requests from the browser's
// own by this query, whatever the URL already holds.
constexpr char kFromInstallerQuery[] = "?from_installer=true";
// XP and Vista get the last browser build that still runs on them.
constexpr char kLegacySetupPath[] =
    "/browser-partners/_xp_builds/browser-setup.arc";
constexpr char kSetupFileName[] = "/browser-setup.arc";

constexpr int kLegacyUrlAttempts = 6;
constexpr int kWin7UrlAttempts = 1;
constexpr int kUrlAttempts = 3;
// A single URL gets the attempts that several would have shared.
constexpr int kSingleUrlAttempts = 6;

// A partial body of at least this share of the announced size is kept for
// the next attempt; a smaller one is cheaper to fetch again than to resume.
constexpr uint64_t kKeepPartialPercent = 10;

// The versioned URL names the build current when this installer was made;
// after a month it is likely gone from the servers.
constexpr int64_t kVersionedSetupUrlMaxAgeUs = 2592000000000;

// What the delegate shows as remaining time also covers verification and
// setup after the download.
constexpr int64_t kRemainingTimeAllowanceSeconds = 240;

// A delay-load failure inside the CryptoPro provider's library has an error
// dialog of its own.
constexpr char kCryptoProDllName[] = "cplib.dll";
constexpr char kCryptoProFunctionPart[] = "cryptopro";

bool IsSignaled(HANDLE event) {
  return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

// Forwards the download's progress to the installation's delegate.
class DelegateDownloadObserver : public installer::DownloadObserver {
 public:
  explicit DelegateDownloadObserver(Installer::Delegate* delegate)
      : delegate_(delegate) {}

  void SetProgress(float fraction) override {
    if (delegate_)
      delegate_->OnDownloadProgress(fraction);
  }
  void OnSlowDownload() override {
    if (delegate_)
      delegate_->OnSlowDownload();
  }
  void SetRemainingTime(int64_t seconds,
                        installer::RemainingTimeKind kind) override {
    if (!delegate_)
      return;
    int64_t shown = seconds + kRemainingTimeAllowanceSeconds;
    if (shown > std::numeric_limits<int32_t>::max())
      shown = std::numeric_limits<int32_t>::max();
    delegate_->OnTimeRemaining(static_cast<int32_t>(shown),
                               static_cast<int32_t>(kind));
  }

 private:
  Installer::Delegate* delegate_;
};

std::string DescribeException(const base::ExceptionRecord& exception) {
  std::string text = "Exception with code=" + std::to_string(exception.code);
  if (!exception.dll_name.empty())
    text += "dll_name=" + exception.dll_name;
  if (!exception.function_name.empty())
    text += "proc_name=" + exception.function_name;
  return text;
}

// Wall-clock microseconds since 1601-01-01 UTC.
int64_t NowUs() {
  FILETIME now = {};
  ::GetSystemTimeAsFileTime(&now);
  const uint64_t units =
      (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<int64_t>(units / 10);
}

std::wstring OwnExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(),
                                              static_cast<DWORD>(path.size()));
    if (length == 0) {
      PLOG(ERROR) << "Cannot obtain the installer's own path.";
      return std::wstring();
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    // Truncated: try again with room for the longest path.
    if (path.size() >= 32768) {
      LOG(ERROR) << "The installer's own path is too long.";
      return std::wstring();
    }
    path.resize(32768);
  }
}

}  // namespace

bool IsCryptoProException(const base::ExceptionRecord& exception) {
  return exception.code == base::kDelayLoadModNotFound &&
         base::ToLowerASCII(exception.dll_name) == kCryptoProDllName &&
         base::ToLowerASCII(exception.function_name)
                 .find(kCryptoProFunctionPart) != std::string::npos;
}

std::wstring Installer::GetModulePath() {
  wchar_t path[MAX_PATH];
  if (temp_dir_.empty() ||
      !::GetTempFileNameW(temp_dir_.c_str(), L"nb", 0, path)) {
    PLOG(ERROR) << "Cannot obtain temp file.";
    return std::wstring();
  }
  return path;
}

int Installer::GetModule(const std::wstring& path,
                         std::unique_ptr<PermanentLockFile>* lock_file) {
  const int64_t t0 = lite_installer::MonotonicNowUs();
  bool downloaded = false;
  const int result = DownloadOrExtractModule(path, &downloaded, lock_file);
  download_time_ = lite_installer::MonotonicNowUs() - t0;
  if (result != 0) {
    PLOG(ERROR) << "Module was not downloaded: " << path;
    exit_code_ = lite_installer::kInstallerExitModuleNotObtained;
    return result;
  }
  LOG(INFO) << "Module downloaded: " << path;
  stat_reporter_->SetNewVersion(installer::GetFileVersionString(path));
  if (downloaded) {
    stat_reporter_->SetInstallType("normal");
    SendDownloadFinishedEvent();
  }
  return 0;
}

int Installer::DownloadOrExtractModule(
    const std::wstring& path,
    bool* downloaded,
    std::unique_ptr<PermanentLockFile>* lock_file) {
  base::ScopedFileHandle own_file;
  HANDLE file;
  if (lock_file) {
    *lock_file = std::make_unique<PermanentLockFile>(path);
    file = (*lock_file)->handle();
  } else {
    own_file.reset(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    file = own_file.get();
  }
  if (file == nullptr || file == INVALID_HANDLE_VALUE) {
    PLOG(ERROR) << "Cannot create file:" << path;
    return 1;
  }
  *downloaded = false;
  if (ExtractBrowserSetupResource(file))
    return 0;
  LOG(INFO) << "Try to download module:" << path;
  const int result =
      DownloadModule(file, options_->command_line);
  *downloaded = result == 0;
  return result;
}

bool Installer::ExtractBrowserSetupResource(HANDLE file) {
  // This product downloads setup; only the full flavour carries it.
  return false;
}

int Installer::DownloadModule(HANDLE file,
                              const base::CommandLine& command_line) {
  installer::FileDownloadSink sink(file);

  int architecture = 0;
  if (command_line.HasSwitch(lite_installer::switches::kDownloadX64))
    architecture = 1;
  else if (command_line.HasSwitch(lite_installer::switches::kDownloadX32))
    architecture = 0;
  else
    architecture = IsX64System() ? 1 : 0;

  const std::vector<DownloadUrlEntry> urls = GetDownloadUrls(architecture);
  if (urls.empty()) {
    PLOG(ERROR) << "Setup url is empty.";
    return kInstallErrorDownload;
  }
  LOG(INFO) << "Selected download urls:";
  for (const DownloadUrlEntry& entry : urls)
    LOG(INFO) << entry.url;

  DelegateDownloadObserver observer(delegate_);
  SendDownloadStartedEvent();

  for (const DownloadUrlEntry& entry : urls) {
    // Bytes kept from another URL may belong to another build.
    if (!sink.Reset())
      PLOG(ERROR) << "Cannot truncate the module file before " << entry.url;
    const std::wstring url = base::WidenBytes(entry.url);
    for (int attempt = 1; attempt <= entry.attempts; ++attempt) {
      if (IsSignaled(stop_event_.get())) {
        LOG(INFO) << "Installation stopped";
        return kInstallErrorDownload;
      }
      std::string error;
      std::wstring final_url;
      uint32_t total_size = 0;
      base::ExceptionRecord exception;
      if (DownloadUrl(url, &sink, &error, &final_url, &total_size, &observer,
                      &exception)) {
        SendDownloadAttemptEvent(true, base::UTF8ToWide(entry.url), attempt,
                                 sink.bytes_written(), total_size, error,
                                 final_url, architecture);
        return 0;
      }
      if (exception.code != 0) {
        // Opening the download crashed inside a system library; another
        // attempt would do the same.
        PLOG(ERROR) << DescribeException(exception);
        return IsCryptoProException(exception) ? kInstallErrorCryptoPro
                                               : kInstallErrorDownload;
      }
      const uint32_t received = sink.bytes_written();
      // 64-bit, so that sizes above 429 MB do not wrap.
      if (received < uint64_t{total_size} * kKeepPartialPercent / 100) {
        if (!sink.Reset())
          PLOG(ERROR) << "Cannot truncate the module file after " << entry.url;
      }
      SendDownloadAttemptEvent(false, base::UTF8ToWide(entry.url), attempt,
                               received, total_size, error, final_url,
                               architecture);
      // Also after the last attempt of a URL: a server that just failed is
      // given time before the next one is asked.
      ::WaitForSingleObject(stop_event_.get(), GetRetryDelayMs());
    }
  }
  PLOG(ERROR) << "Max download attempts failed";
  return kInstallErrorDownload;
}

bool Installer::DownloadUrl(const std::wstring& url,
                            installer::DownloadSink* sink,
                            std::string* error,
                            std::wstring* final_url,
                            uint32_t* total_size,
                            installer::DownloadObserver* observer,
                            base::ExceptionRecord* exception) {
  installer::DownloadResult result =
      installer::DownloadWithProgress(url, sink, stop_event_.get(), observer);
  // Failure labels are ASCII.
  if (error)
    *error = base::WideToUTF8(result.error);
  if (final_url)
    *final_url = std::move(result.final_url);
  if (total_size)
    *total_size = result.content_length;
  if (exception && result.exception.code != 0)
    *exception = std::move(result.exception);
  return result.ok;
}

DWORD Installer::GetRetryDelayMs() {
  return 15000;
}

std::vector<Installer::DownloadUrlEntry> Installer::GetDownloadUrls(
    int architecture) {
  std::vector<DownloadUrlEntry> urls;
  // Version class 2 (5.2) is 64-bit XP and Server 2003: XP as well.
  if (base::GetWindowsVersionClass() <= base::kWinVista) {
    urls.push_back({std::string(deployment::kDownloadOrigin) + kLegacySetupPath,
                    kLegacyUrlAttempts});
  } else {
    urls = GetDownloadUrlsFromBrandConfig(architecture);
  }
  for (DownloadUrlEntry& entry : urls)
    entry.url += kFromInstallerQuery;
  return urls;
}

std::vector<Installer::DownloadUrlEntry>
Installer::GetDownloadUrlsFromBrandConfig(int architecture) {
  std::vector<DownloadUrlEntry> urls;
  // The elevated copy has no brand and never downloads.
  if (!brand_)
    return urls;

  const int version = base::GetWindowsVersionClass();
  if (version >= base::kWin7 && version <= base::kWin8_1) {
    if (!brand_->setup_url_win7_.empty()) {
      urls.push_back({brand_->setup_url_win7_, kWin7UrlAttempts});
    } else {
      const std::string brand_id =
          brand_->brand_id_.empty() ? "norvel" : brand_->brand_id_;
      urls.push_back({std::string(deployment::kDownloadOrigin) +
                          "/browser/win7/" + brand_id + kSetupFileName,
                      kWin7UrlAttempts});
    }
  }
  if (architecture == 1) {
    if (!brand_->setup_url64_.empty())
      urls.push_back({brand_->setup_url64_, kUrlAttempts});
    else
      LOG(WARNING) << "Setup url x64 empty!";
  }
  if (IsVersionedSetupUrlAllowed(brand_->setup_url_version_))
    urls.push_back({brand_->setup_url_version_, kUrlAttempts});
  // An empty main URL would only produce a request for the query alone.
  if (!brand_->setup_url_.empty())
    urls.push_back({brand_->setup_url_, kUrlAttempts});

  if (urls.size() == 1)
    urls.front().attempts = kSingleUrlAttempts;
  return urls;
}

bool Installer::IsVersionedSetupUrlAllowed(const std::string& url) {
  if (url.empty())
    return false;
  // An unexpanded template placeholder.
  if (url.find('{') != std::string::npos) {
    PLOG(ERROR) << "Wrong setup url:" << url;
    return false;
  }
  const std::wstring own_path = OwnExecutablePath();
  uint64_t created = 0;
  if (own_path.empty() || !GetModuleCreationTime(own_path, &created) ||
      created == 0) {
    return false;
  }
  int64_t age = 0;
  const int64_t created_signed = static_cast<int64_t>(created);
  if (__builtin_sub_overflow(NowUs(), created_signed, &age)) {
    age = created_signed < 0 ? std::numeric_limits<int64_t>::max()
                             : std::numeric_limits<int64_t>::min();
  }
  return age < kVersionedSetupUrlMaxAgeUs;
}

bool Installer::GetModuleCreationTime(const std::wstring& path,
                                      uint64_t* time) {
  installer::FixedFileInfo info;
  const bool have_fixed_info = installer::ReadFixedFileInfo(path, &info) ==
                               installer::FixedFileInfoStatus::kOk;
  if (have_fixed_info && info.file_date != 0) {
    *time = info.file_date;
    return true;
  }
  if (have_fixed_info)
    LOG(WARNING) << "Version time is 0 in " << path;
  else
    LOG(WARNING) << "File version resource is absent in " << path;
  LOG(WARNING) << "Used the last write file time";

  WIN32_FILE_ATTRIBUTE_DATA attributes = {};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard,
                              &attributes)) {
    PLOG(ERROR) << "Cannot read the last write time of " << path;
    return false;
  }
  const uint64_t units =
      (static_cast<uint64_t>(attributes.ftLastWriteTime.dwHighDateTime) << 32) |
      attributes.ftLastWriteTime.dwLowDateTime;
  *time = units / 10;
  return true;
}

bool Installer::IsX64System() {
  SYSTEM_INFO info = {};
  ::GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}
