#include "chrome/installer/lite_installer/test_triggers.h"

#include <windows.h>

#include <cstring>
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

// A Windows without the update that brought the safe DLL search functions.
class NoSafeDllSearchFacts : public base::SystemFacts {
 public:
  FARPROC GetKernel32Function(const char* name) const override {
    if (std::strcmp(name, "SetSearchPathMode") == 0 ||
        std::strcmp(name, "SetDefaultDllDirectories") == 0) {
      return nullptr;
    }
    return SystemFacts::GetKernel32Function(name);
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
  if (GetVariable(L"LITE_TEST_NO_SAFE_DLL_SEARCH") == L"1") {
    // Lives to the end of the process, as the facts it stands for.
    static NoSafeDllSearchFacts facts;
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
