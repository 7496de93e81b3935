// Obtaining the setup archive.

#include <windows.h>

#include "brand/brand_package_info.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/lite_installer/monotonic_time.h"
#include "chrome/installer/lite_installer/startup_flavour.h"
#include "chrome/installer/norvel/util/file_version.h"
#include "logging/file_logger.h"

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
    exit_code_ = 401;
    return result;
  }
  LOG(INFO) << "Module downloaded: " << path;
  SetStatParam("new_ver", installer::GetFileVersionString(path));
  if (downloaded) {
    SetStatParam("install_type", "normal");
    SendStatEvent("download_finished");
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
      DownloadModule(file, base::CommandLine::ForCurrentProcess());
  *downloaded = result == 0;
  return result;
}

bool Installer::ExtractBrowserSetupResource(HANDLE file) {
  // This product downloads setup; only the full flavour carries it.
  return false;
}

int Installer::DownloadModule(HANDLE file,
                              const base::CommandLine& command_line) {
  LOG(ERROR) << "Module download is not built yet; no URL was tried.";
  return kInstallErrorDownload;
}

bool Installer::DownloadUrl(const std::wstring& url,
                            installer::DownloadSink* sink,
                            std::string* error,
                            std::wstring* final_url,
                            uint32_t* total_size,
                            installer::DownloadObserver* observer,
                            base::ExceptionRecord* exception) {
  LOG(ERROR) << "Module download is not built yet; not downloading " << url;
  return false;
}

DWORD Installer::GetRetryDelayMs() {
  return 15000;
}

bool Installer::GetModuleCreationTime(const std::wstring& path,
                                      uint64_t* time) {
  LOG(ERROR) << "Module creation time is not built yet: " << path;
  return false;
}

bool Installer::IsX64System() {
  SYSTEM_INFO info = {};
  ::GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}
