#ifndef CHROME_INSTALLER_LITE_INSTALLER_SERVICE_ORIGINS_H_
#define CHROME_INSTALLER_LITE_INSTALLER_SERVICE_ORIGINS_H_

namespace lite_installer {

// Services the installation engine talks to by fixed paths: scheme://host
// [:port] without a trailing slash. Each program defines them once, when it
// is built (service_origins.cc.in): lite_installer.exe the deployment's hosts
// (LITE_*_ORIGIN), the loopback programs of the demo and the end-to-end tests
// the loopback services. Nothing at run time changes them.
struct ServiceOrigins {
  // The installation-finished report ("/get/browser/install").
  const char* report;
  // The browser API: the server configuration bundle ("/configs/all_zip").
  const char* browser_api;
  // The statistics service ("/installstats/send/...").
  const char* statistics;
  // The crash collector ("/submit").
  const char* crash;
  // The content server's pictures of the installer ("/browser/installer/").
  const char* content;
};

extern const ServiceOrigins kServiceOrigins;

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_SERVICE_ORIGINS_H_
