// The delay-load helper's two hook variables, defined by the program itself
// (in place of the runtime library's empty ones) and compiled into each
// program that delay-loads its system libraries.
#include "chrome/installer/lite_installer/delay_load_hook.h"

extern "C" {
PfnDliHook __pfnDliNotifyHook2 = lite_installer::DelayLoadHook;
PfnDliHook __pfnDliFailureHook2 = lite_installer::DelayLoadHook;
}
