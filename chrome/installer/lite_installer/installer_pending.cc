// Installer operations whose subsystems are not built yet. Each logs what
// is missing and answers with its failure result; none claims success.

#include "chrome/installer/lite_installer/installer.h"
#include "logging/file_logger.h"

void Installer::SetStatParam(const std::string& name,
                             const std::string& value) {
  stat_params_[name] = value;
}

void Installer::SendStatEvent(const char* event) {
  LOG(INFO) << "Statistics are not built yet; event not sent: " << event;
}

void Installer::ExtractInstallerDataIfAbsent(const std::wstring& dir) {
  LOG(INFO) << "Installer data files are not built yet; none written to "
            << dir;
}

void Installer::ReportInstallationFinished(bool success) {
  LOG(INFO) << "Installation report is not built yet; not sent (success="
            << success << ").";
}

bool Installer::Download(const std::string& url) {
  LOG(ERROR) << "Installation report is not built yet; not sending " << url;
  return false;
}

bool Installer::ExtractResourceById(int id, const std::wstring& path) {
  LOG(ERROR) << "Installer data files are not built yet; resource " << id
             << " not written to " << path;
  return false;
}

bool Installer::ExtractResourceByName(const wchar_t* name,
                                      const std::wstring& path) {
  LOG(ERROR) << "Installer data files are not built yet; resource " << name
             << " not written to " << path;
  return false;
}
