#ifndef CHROME_INSTALLER_NORVEL_UTIL_APPLICATION_ASSOCIATION_REGISTRATION_INTERNAL_H_
#define CHROME_INSTALLER_NORVEL_UTIL_APPLICATION_ASSOCIATION_REGISTRATION_INTERNAL_H_

#include <windows.h>

#include <shobjidl.h>

#include <span>

// Probing of the shell's internal association interfaces, which Windows 10
// uses to change the default browser. They are undocumented: their
// identifiers change between Windows builds, and on some builds merely
// creating them crashes the caller, so this probe runs in a copy of the
// installer started for it (win10_default_browser.h), never in the
// installer itself.
namespace installer::win10_default_browser {

// One known identifier of IApplicationAssociationRegistrationInternal, in
// the generation of the interface that it names.
struct InternalInterfaceVersion {
  GUID iid;
  int generation;
};

// The known identifiers, newest first: the first one the system creates an
// object for wins. A constant table, alive as long as the process.
std::span<const InternalInterfaceVersion> InternalInterfaceVersions();

// ISetAppAsDefaultBrowserInternal, asked of a generation-1 object.
extern const GUID kIidSetAppAsDefaultBrowserInternal;
// IEnumAssocHandlers, as SHAssocEnumHandlersForProtocolByApplication is
// asked for it.
extern const GUID kIidEnumAssocHandlers;
// IAssocHandlerMakeDefault, asked of a handler.
extern const GUID kIidAssocHandlerMakeDefault;

// The shell calls the probe makes, so that its logic can run against fake
// objects. The system's layer resolves each function at run time: a missing
// export answers HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) instead of ending
// the process.
class ShellAssociations {
 public:
  virtual ~ShellAssociations() = default;
  // SHCreateAssociationRegistration.
  virtual HRESULT CreateAssociationRegistration(REFIID iid,
                                                void** object) const = 0;
  // SHAssocEnumHandlersForProtocolByApplication (Windows 8 and later).
  virtual HRESULT EnumHandlersForProtocolByApplication(
      const wchar_t* protocol,
      REFIID iid,
      void** enumerator) const = 0;
  // SHAssocEnumHandlers.
  virtual HRESULT EnumHandlers(const wchar_t* extension,
                               ASSOC_FILTER filter,
                               IEnumAssocHandlers** enumerator) const = 0;
};

// The system's shell (shell32.dll).
const ShellAssociations& SystemShellAssociations();

// True when the internal association interface can be created and, for its
// generation 1, when a default handler could be made for "http", "https",
// ".htm" and ".html". Nothing is made default. Reports go to the platform
// log. Initialises COM (apartment) on the calling thread for the probe.
bool CheckInternalInterface();
// The probe itself against `shell`, on a thread that has COM as it needs.
bool CheckInternalInterface(const ShellAssociations& shell);

}  // namespace installer::win10_default_browser

#endif  // CHROME_INSTALLER_NORVEL_UTIL_APPLICATION_ASSOCIATION_REGISTRATION_INTERNAL_H_
