// The floors of the start-up benchmark (tools/bench/startup_time.sh): Windows
// GUI programs built and linked like the installer that end as soon as they
// start. Built with LITE_BENCH_INSTALLER_IMPORTS (and the installer's
// manifest) the program also binds the system libraries the installer
// imports, so the benchmark can tell the cost of loading them apart from the
// installer's own start-up work.
#include <windows.h>

#if defined(LITE_BENCH_INSTALLER_IMPORTS)
#include <commctrl.h>
#include <objbase.h>
// GDI+ headers need min/max from windows.h, which NOMINMAX hides.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
#include <shlobj.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wininet.h>
#include <wintrust.h>

namespace {

// One function of each library, so that the loader maps them all.
void* const volatile kImports[] = {
    reinterpret_cast<void*>(&::RegCloseKey),
    reinterpret_cast<void*>(&::InitCommonControlsEx),
    reinterpret_cast<void*>(&::CertCloseStore),
    reinterpret_cast<void*>(&Gdiplus::GdiplusShutdown),
    reinterpret_cast<void*>(&::CoUninitialize),
    reinterpret_cast<void*>(&::SHGetFolderPathW),
    reinterpret_cast<void*>(&::GetDesktopWindow),
    reinterpret_cast<void*>(&::GetFileVersionInfoSizeW),
    reinterpret_cast<void*>(&::InternetCloseHandle),
    reinterpret_cast<void*>(&::WinVerifyTrust),
};

}  // namespace
#endif

extern "C" int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
#if defined(LITE_BENCH_INSTALLER_IMPORTS)
  return kImports[0] ? 0 : 1;
#else
  return 0;
#endif
}
