// Drives one windowed installation for the demo: starts the installer with
// the given arguments, waits for its window, takes a screenshot of the
// welcome screen, presses Install with real input, takes a screenshot of
// the progress screen and waits for the installer to end.
//   drive_window.exe INSTALLER [ARGUMENTS...]
// Prints the screenshots' paths and "Installer exit code: N" (its full
// 32-bit code); exits with that code, or 1 when driving failed.

#include <windows.h>

#include <cstdio>
#include <string>

#include "test/support/installer_window_driver.h"
#include "test/support/screen_capture.h"
#include "test/support/ui_input.h"

namespace {

std::string Narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());
}

bool Shoot(HWND window, const std::string& name) {
  RECT rect;
  if (!::GetWindowRect(window, &rect) || test::CaptureScreen(rect, "demo", name).empty())
    return false;
  std::printf("Screenshot: %s\n", Narrow(test::ArtefactPath("demo", name)).c_str());
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: drive_window.exe INSTALLER [ARGUMENTS...]\n");
    return 1;
  }
  std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
  for (int i = 2; i < argc; ++i)
    command += L" \"" + std::wstring(argv[i]) + L"\"";
  STARTUPINFOW startup = {sizeof(startup)};
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    std::fprintf(stderr, "Could not start the installer (error %lu)\n", ::GetLastError());
    return 1;
  }
  ::CloseHandle(process.hThread);
  test::InstallerWindowDriver driver(process.dwProcessId);
  bool driven = driver.WaitForWindow(90000) && Shoot(driver.window(), "welcome") &&
                driver.ClickControl(test::kInstallButtonId) &&
                driver.WaitForControl(test::kProgressBarId);
  if (driven) {
    // Until the status line says how far the installation is.
    test::PumpUntil([&] { return !driver.StatusText().empty(); }, 10000);
    driven = Shoot(driver.window(), "progress");
  }
  if (!driven)
    std::fprintf(stderr, "Could not drive the installation window\n");
  ::WaitForSingleObject(process.hProcess, 300000);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hProcess);
  std::printf("Installer exit code: %lu\n", code);
  return driven ? static_cast<int>(code) : 1;
}
