#include "chrome/installer/lite_installer/test_triggers.h"

#include <windows.h>

#include <cstring>
#include <optional>
#include <string>

#include "base/system_facts.h"

namespace lite_installer {

namespace {

std::wstring GetVariable(const wchar_t* name) {
  wchar_t value[64];
  const DWORD length = ::GetEnvironmentVariableW(name, value, 64);
  return length > 0 && length < 64 ? std::wstring(value, length)
                                   : std::wstring();
}

// The machine as the variables describe it.
class TriggerFacts : public base::SystemFacts {
 public:
  // A Windows without the update that brought the safe DLL search
  // functions.
  bool no_safe_dll_search = false;
  std::optional<bool> admin_group;

  FARPROC GetKernel32Function(const char* name) const override {
    if (no_safe_dll_search && (std::strcmp(name, "SetSearchPathMode") == 0 ||
                               std::strcmp(name, "SetDefaultDllDirectories") == 0)) {
      return nullptr;
    }
    return SystemFacts::GetKernel32Function(name);
  }
  std::optional<bool> GetAdminGroupMembership() const override {
    return admin_group ? admin_group : SystemFacts::GetAdminGroupMembership();
  }
};

}  // namespace

}  // namespace lite_installer

// Functions of test_delay_load_failures.txt: none of them can be bound.
extern "C" {
__declspec(dllimport) void WINAPI LiteFunctionOfAMissingLibrary();
__declspec(dllimport) void WINAPI LiteMissingVersionFunction();
__declspec(dllimport) void WINAPI LiteMissingUser32Function();
__declspec(dllimport) void WINAPI LiteFunctionOfAUser32NamedLibrary();
__declspec(dllimport) void WINAPI
LiteFunctionNamedAtLength200_029_033_037_041_045_049_053_057_061_065_069_073_077_081_085_089_093_097_101_105_109_113_117_121_125_129_133_137_141_145_149_153_157_161_165_169_173_177_181_185_189_193_197();
}

namespace lite_installer {

void ArmTestTriggers() {
  // Lives to the end of the process, as the facts it stands for.
  static TriggerFacts facts;
  facts.no_safe_dll_search = GetVariable(L"LITE_TEST_NO_SAFE_DLL_SEARCH") == L"1";
  const std::wstring admin_group = GetVariable(L"LITE_TEST_ADMIN_GROUP");
  if (admin_group == L"0" || admin_group == L"1")
    facts.admin_group = admin_group == L"1";
  if (facts.no_safe_dll_search || facts.admin_group) {
    static base::ScopedSystemFactsForTesting installed(&facts);
  }
}

void FireTestTriggers(TriggerPoint point) {
  const std::wstring kind = GetVariable(L"LITE_TEST_DELAY_LOAD_FAILURE");
  if (kind.empty())
    return;
  const TriggerPoint due = GetVariable(L"LITE_TEST_DELAY_LOAD_FAILURE_AT") ==
                                   L"start"
                               ? TriggerPoint::kStart
                               : TriggerPoint::kAfterUiLibraries;
  if (point != due)
    return;
  // None of these returns: the delay-load hook traps. After the
  // user-interface libraries the crash reporter takes the trap; at the start
  // it is not armed yet and the system ends the process.
  if (kind == L"missing-library")
    LiteFunctionOfAMissingLibrary();
  else if (kind == L"missing-function")
    LiteMissingVersionFunction();
  else if (kind == L"missing-user32-function")
    LiteMissingUser32Function();
  else if (kind == L"user32-named-library")
    LiteFunctionOfAUser32NamedLibrary();
  else if (kind == L"long-function-name")
    LiteFunctionNamedAtLength200_029_033_037_041_045_049_053_057_061_065_069_073_077_081_085_089_093_097_101_105_109_113_117_121_125_129_133_137_141_145_149_153_157_161_165_169_173_177_181_185_189_193_197();
}

}  // namespace lite_installer
