#include "chrome/installer/norvel/util/application_association_registration_internal.h"

#include <objbase.h>

#include <cstdint>
#include <string>

#include "base/platform_log.h"
#include "base/scoped_com_ptr.h"
#include "base/strings.h"
#include "base/system_library.h"
#include "base/windows_version.h"

namespace installer::win10_default_browser {

const GUID kIidSetAppAsDefaultBrowserInternal = {
    0xB00DC47B,
    0xBFF4,
    0x4318,
    {0xBE, 0x5B, 0xA5, 0x85, 0x6F, 0x91, 0x69, 0xA2}};
const GUID kIidEnumAssocHandlers = {
    0x973810AE,
    0x9599,
    0x4B88,
    {0x9E, 0x4D, 0x6E, 0xE9, 0x8C, 0x95, 0x52, 0xDA}};
const GUID kIidAssocHandlerMakeDefault = {
    0xCA635855,
    0xB44E,
    0x4541,
    {0x95, 0x91, 0x9F, 0xAA, 0x53, 0x35, 0x4A, 0x53}};

std::span<const InternalInterfaceVersion> InternalInterfaceVersions() {
  static constexpr InternalInterfaceVersion kVersions[] = {
      {{0x2A848E25,
        0xD688,
        0x4AA3,
        {0x8E, 0x55, 0x0C, 0x16, 0xCB, 0x3A, 0x2D, 0xFB}},
       1},
      {{0xFC0BE3A5,
        0x6BE4,
        0x423C,
        {0xB2, 0x87, 0x24, 0x89, 0x34, 0xE3, 0x79, 0xC7}},
       1},
      {{0x14EBCC88,
        0x2831,
        0x4FC8,
        {0xA5, 0xDF, 0x9F, 0x36, 0xA8, 0x1D, 0xB1, 0x2C}},
       0},
      {{0x1C5C9D10,
        0x1225,
        0x4C97,
        {0x8C, 0x51, 0x98, 0xE1, 0xB6, 0xF0, 0xD4, 0xE0}},
       0},
      {{0x229D59E2,
        0xF94A,
        0x402E,
        {0x9A, 0x9F, 0x3B, 0x84, 0xA1, 0xAC, 0xED, 0x77}},
       0},
  };
  return kVersions;
}

namespace {

// Eight upper-case hexadecimal digits.
std::string Hex8(uint32_t value) {
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4)
    text[i] = "0123456789ABCDEF"[value & 0xF];
  return text;
}

std::string HrText(HRESULT hr) {
  return Hex8(static_cast<uint32_t>(hr));
}

class SystemShell : public ShellAssociations {
 public:
  HRESULT CreateAssociationRegistration(REFIID iid,
                                        void** object) const override {
    using Fn = HRESULT(WINAPI*)(REFIID, void**);
    *object = nullptr;
    auto fn = base::GetSystemFunctionAs<Fn>(L"shell32.dll",
                                            "SHCreateAssociationRegistration");
    return fn ? fn(iid, object) : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  }
  HRESULT EnumHandlersForProtocolByApplication(
      const wchar_t* protocol,
      REFIID iid,
      void** enumerator) const override {
    using Fn = HRESULT(WINAPI*)(PCWSTR, REFIID, void**);
    *enumerator = nullptr;
    // Not exported before Windows 8, nor by Wine.
    auto fn = base::GetSystemFunctionAs<Fn>(
        L"shell32.dll", "SHAssocEnumHandlersForProtocolByApplication");
    return fn ? fn(protocol, iid, enumerator)
              : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  }
  HRESULT EnumHandlers(const wchar_t* extension,
                       ASSOC_FILTER filter,
                       IEnumAssocHandlers** enumerator) const override {
    using Fn = HRESULT(WINAPI*)(PCWSTR, ASSOC_FILTER, IEnumAssocHandlers**);
    *enumerator = nullptr;
    auto fn =
        base::GetSystemFunctionAs<Fn>(L"shell32.dll", "SHAssocEnumHandlers");
    return fn ? fn(extension, filter, enumerator)
              : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  }
};

// COM in a single-threaded apartment for the life of the object, when the
// thread does not have it yet. The shell's association objects are COM
// objects on Windows; the check runs before start-up initialises COM.
class ScopedComApartment {
 public:
  ScopedComApartment()
      : initialized_(
            SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ScopedComApartment(const ScopedComApartment&) = delete;
  ScopedComApartment& operator=(const ScopedComApartment&) = delete;
  ~ScopedComApartment() {
    if (initialized_)
      ::CoUninitialize();
  }

 private:
  // False when the thread already runs COM in another mode: it is used as
  // it is then, and not shut down here.
  bool initialized_;
};

// Takes handlers from `handlers` until one whose name can be read, and asks
// that one for IAssocHandlerMakeDefault. True when it has it.
bool FindDefaultableHandler(IEnumAssocHandlers* handlers) {
  for (;;) {
    base::ScopedComPtr<IAssocHandler> handler;
    ULONG fetched = 0;
    const HRESULT next = handlers->Next(1, handler.Receive(), &fetched);
    if (FAILED(next) || fetched == 0 || !handler) {
      base::PlatformLogError("IEnumAssocHandlers::Next error, hr=" +
                             HrText(next) + ", failed to find ");
      return false;
    }
    wchar_t* ui_name = nullptr;
    const HRESULT name = handler->GetUIName(&ui_name);
    if (FAILED(name)) {
      base::PlatformLogError("IAssocHandler::GetUIName error, hr=" +
                             HrText(name) + ", failed to find ");
      continue;
    }
    ::CoTaskMemFree(ui_name);
    base::ScopedComPtr<IUnknown> make_default;
    const HRESULT query = handler->QueryInterface(kIidAssocHandlerMakeDefault,
                                                  make_default.ReceiveVoid());
    if (FAILED(query) || !make_default) {
      base::PlatformLogError(
          "QueryInterface(IAssocHandlerMakeDefault) error, hr=" +
          HrText(query));
      return false;
    }
    return true;
  }
}

}  // namespace

const ShellAssociations& SystemShellAssociations() {
  static const SystemShell shell;
  return shell;
}

bool CheckInternalInterface() {
  ScopedComApartment com;
  return CheckInternalInterface(SystemShellAssociations());
}

bool CheckInternalInterface(const ShellAssociations& shell) {
  base::ScopedComPtr<IUnknown> registration;
  int generation = -1;
  for (const InternalInterfaceVersion& version : InternalInterfaceVersions()) {
    const HRESULT hr = shell.CreateAssociationRegistration(
        version.iid, registration.ReceiveVoid());
    const std::string guid = Hex8(version.iid.Data1);
    if (SUCCEEDED(hr) && registration) {
      base::PlatformLogVerbose(
          "IApplicationAssociationRegistrationInternal creation is succeeded "
          "by " +
          guid);
      generation = version.generation;
      break;
    }
    registration.reset();
    base::PlatformLogVerbose(
        "IApplicationAssociationRegistrationInternal creation is failed, hr=" +
        HrText(hr) + ", guid= " + guid);
  }
  if (generation < 0) {
    base::PlatformLogError("Unsupported Win10 version=" +
                           std::to_string(base::GetWindowsVersionClass()));
    return false;
  }
  // The older interface is usable as it is.
  if (generation == 0)
    return true;

  base::ScopedComPtr<IUnknown> set_as_default;
  const HRESULT query = registration->QueryInterface(
      kIidSetAppAsDefaultBrowserInternal, set_as_default.ReceiveVoid());
  if (FAILED(query) || !set_as_default) {
    base::PlatformLogError(
        "QueryInterface(ISetAppAsDefaultBrowserInternal) error, hr=" +
        HrText(query));
    return false;
  }

  for (const wchar_t* protocol : {L"http", L"https"}) {
    base::ScopedComPtr<IEnumAssocHandlers> handlers;
    const HRESULT hr = shell.EnumHandlersForProtocolByApplication(
        protocol, kIidEnumAssocHandlers, handlers.ReceiveVoid());
    if (FAILED(hr) || !handlers) {
      base::PlatformLogError(
          "SHAssocEnumHandlersForProtocolByApplication error, hr=" +
          HrText(hr) + " protocol=" + base::WideToUTF8(protocol));
      return false;
    }
    if (!FindDefaultableHandler(handlers.get()))
      return false;
  }
  for (const wchar_t* extension : {L".htm", L".html"}) {
    base::ScopedComPtr<IEnumAssocHandlers> handlers;
    const HRESULT hr =
        shell.EnumHandlers(extension, ASSOC_FILTER_NONE, handlers.Receive());
    if (FAILED(hr) || !handlers) {
      base::PlatformLogError("SHAssocEnumHandlers error, hr=" + HrText(hr) +
                             " extension=" + base::WideToUTF8(extension));
      return false;
    }
    if (!FindDefaultableHandler(handlers.get()))
      return false;
  }
  return true;
}

}  // namespace installer::win10_default_browser
