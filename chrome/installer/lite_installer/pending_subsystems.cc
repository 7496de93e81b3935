#include "chrome/installer/lite_installer/pending_subsystems.h"

#include "chrome/installer/lite_installer/exit_codes.h"
#include "logging/file_logger.h"

namespace lite_installer {

SecureEnvironmentResult PendingEnsureSecureEnvironment(int* exit_code) {
  return SecureEnvironmentResult::kCantFindSecure;
}

int PendingExecuteAsAdmin() {
  LOG(INFO) << "Elevated installation is not built yet; nothing was run.";
  return kExitElevatedFailure;
}

namespace {

constexpr wchar_t kPendingWindowClass[] = L"LiteInstallerPendingWindow";

LRESULT CALLBACK PendingWindowProc(HWND hwnd,
                                   UINT message,
                                   WPARAM wparam,
                                   LPARAM lparam) {
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace

int PendingRunMainWindow() {
  LOG(INFO) << "Installation window is not built yet; showing a plain window.";
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class = {sizeof(window_class)};
  window_class.lpfnWndProc = PendingWindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kPendingWindowClass;
  ::RegisterClassExW(&window_class);
  HWND window = ::CreateWindowExW(
      0, kPendingWindowClass, L"Norvel Browser Installer",
      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT,
      420, 160, nullptr, nullptr, instance, nullptr);
  if (!window) {
    PLOG(ERROR) << "Can't create the installation window";
    return 0;
  }
  ::CreateWindowExW(0, L"STATIC",
                    L"The installation window is not built yet. "
                    L"Close this window to exit.",
                    WS_CHILD | WS_VISIBLE, 16, 16, 380, 60, window, nullptr,
                    instance, nullptr);
  ::ShowWindow(window, SW_SHOWNORMAL);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}

void PendingShowProcessorUnsupported(LANGID language_id, int reason_id) {
  LOG(INFO) << "Processor refusal dialog is not built yet (language "
            << language_id << ", reason " << reason_id << ").";
}

void PendingShowNotEnoughDiskSpace() {
  LOG(INFO) << "Disk space notice is not built yet.";
}

}  // namespace lite_installer
