#ifndef CHROME_INSTALLER_NORVEL_UTIL_INSTALL_UAC_UTIL_H_
#define CHROME_INSTALLER_NORVEL_UTIL_INSTALL_UAC_UTIL_H_

// User account control as the installer sees it.
class InstallUACUtil {
 public:
  // Whether Windows shows consent prompts to administrators: the policy
  // value "ConsentPromptBehaviorAdmin" is not 0. A missing key or value
  // counts as 0 (no prompts). Logs the value read.
  static bool AreUACNotificationsEnabled();
};

#endif  // CHROME_INSTALLER_NORVEL_UTIL_INSTALL_UAC_UTIL_H_
