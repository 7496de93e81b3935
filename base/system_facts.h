#ifndef BASE_SYSTEM_FACTS_H_
#define BASE_SYSTEM_FACTS_H_

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "base/overridable_instance.h"

namespace base {

// Facts about the machine that a test cannot change under Wine (processor
// features, the Windows version, free disk space). Production code asks
// SystemFacts::Current(); tests install a subclass for their duration.
class SystemFacts : public OverridableInstance<SystemFacts> {
 public:
  struct Version {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
  };

  virtual ~SystemFacts() = default;

  virtual bool IsProcessorFeaturePresent(DWORD feature) const;
  virtual std::optional<Version> GetWindowsVersion() const;
  // Bytes free to the caller on the volume of `folder`.
  virtual std::optional<uint64_t> GetFreeDiskSpace(const wchar_t* folder) const;
  // The user's region as two ISO 3166 letters ("RU"), empty when unknown.
  virtual std::string GetUserRegion() const;
  // GetUserDefaultUILanguage.
  virtual LANGID GetUserDefaultUILanguage() const;
  // A function of the loaded kernel32.dll, null when this Windows lacks it
  // (the safe DLL search functions came with an update of Windows 7).
  virtual FARPROC GetKernel32Function(const char* name) const;
  // Whether the current user belongs to the Administrators group, when the
  // facts decide it. Under Wine every process is an administrator's, so
  // tests decide it here; otherwise (nullopt) the process token answers,
  // which the callers ask themselves (InstallUACUtil::IsUserAnAdminGroup).
  virtual std::optional<bool> GetAdminGroupMembership() const;
  // IsUserAnAdmin: the process runs with an administrator's full token.
  virtual bool IsUserAnAdmin() const;
};

// Makes `facts` the current facts until destruction.
using ScopedSystemFactsForTesting = ScopedOverrideForTesting<SystemFacts>;

}  // namespace base

#endif  // BASE_SYSTEM_FACTS_H_
