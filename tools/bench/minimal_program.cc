// The floor of the start-up benchmark (tools/bench/startup_time.sh): a
// Windows GUI program built like the installer (same compiler settings,
// static runtime, GUI subsystem, stripped) that ends as soon as it starts.
#include <windows.h>

extern "C" int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  return 0;
}
