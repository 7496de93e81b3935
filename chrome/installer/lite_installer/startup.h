#ifndef CHROME_INSTALLER_LITE_INSTALLER_STARTUP_H_
#define CHROME_INSTALLER_LITE_INSTALLER_STARTUP_H_

#include <windows.h>

#include <optional>
#include <string>

#include "deployment_config.h"

namespace lite_installer {

// The free space a windowed installation asks for.
inline constexpr uint32_t kRequiredDiskSpace = 629145600;  // 600 MiB

// Reason string ids for the processor refusal.
inline constexpr int kCpuReasonNoSse2 = 483;
inline constexpr int kCpuReasonNoSse3 = 484;

// True when the processor has SSE2 and SSE3. Otherwise `reason_id` (when
// given) receives the string id of the refusal reason: 484 when SSE3 is
// missing, else 483.
bool IsCpuSupported(int* reason_id);

// GetTempPathW into a MAX_PATH buffer; empty when it fails or does not fit.
std::wstring GetTemporaryDirectory();

// The user-interface libraries of a windowed run: COM, common controls and
// GDI+. Shut down in reverse order on destruction.
class ScopedUiLibraries {
 public:
  ScopedUiLibraries();
  ScopedUiLibraries(const ScopedUiLibraries&) = delete;
  ScopedUiLibraries& operator=(const ScopedUiLibraries&) = delete;
  ~ScopedUiLibraries();

 private:
  bool com_initialized_ = false;
  ULONG_PTR gdiplus_token_ = 0;
};

// Test programs only: run by the start-up sequence right after the crash
// annotations are set (null in the product).
extern void (*g_after_crash_annotations_for_testing)();

}  // namespace lite_installer

// The process entry; also called by tests in-process.
extern "C" int WINAPI wWinMain(HINSTANCE instance,
                               HINSTANCE previous_instance,
                               wchar_t* command_line,
                               int show_command);

#endif  // CHROME_INSTALLER_LITE_INSTALLER_STARTUP_H_
