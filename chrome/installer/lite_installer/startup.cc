#include "chrome/installer/lite_installer/startup.h"

#include <commctrl.h>
#include <objbase.h>
// GDI+ headers need min/max from windows.h, which NOMINMAX hides.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include "base/system_facts.h"

namespace lite_installer {

bool IsCpuSupported(int* reason_id) {
  const base::SystemFacts& facts = base::SystemFacts::Current();
  const bool sse2 =
      facts.IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
  const bool sse3 =
      facts.IsProcessorFeaturePresent(PF_SSE3_INSTRUCTIONS_AVAILABLE);
  if (sse2 && sse3)
    return true;
  if (reason_id)
    *reason_id = sse3 ? kCpuReasonNoSse2 : kCpuReasonNoSse3;
  return false;
}

std::wstring GetTemporaryDirectory() {
  wchar_t buffer[MAX_PATH];
  DWORD len = ::GetTempPathW(MAX_PATH, buffer);
  if (len == 0 || len > MAX_PATH - 1)
    return std::wstring();
  return std::wstring(buffer, len);
}

ScopedUiLibraries::ScopedUiLibraries() {
  com_initialized_ = SUCCEEDED(::CoInitialize(nullptr));
  // Makes sure user32 has set up its per-thread state before any window.
  ::DefWindowProcW(nullptr, WM_NULL, 0, 0);
  INITCOMMONCONTROLSEX controls = {sizeof(controls),
                                   ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&gdiplus_token_, &input, nullptr) !=
      Gdiplus::Ok) {
    gdiplus_token_ = 0;
  }
}

ScopedUiLibraries::~ScopedUiLibraries() {
  if (gdiplus_token_)
    Gdiplus::GdiplusShutdown(gdiplus_token_);
  if (com_initialized_)
    ::CoUninitialize();
}

void (*g_after_crash_annotations_for_testing)() = nullptr;

}  // namespace lite_installer
