// A DLL named like a system library, for planting tests: it exports the
// functions the installer imports from that library (planted_dlls.cmake) as
// stubs, and leaves "<its own path>.loaded" when a process loads it.
#include <windows.h>

int PlantedStub(void) {
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      lstrcpyW(path + length, L".loaded");
      HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
      if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
    }
  }
  return TRUE;
}
