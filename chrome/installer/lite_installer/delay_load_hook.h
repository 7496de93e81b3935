#ifndef CHROME_INSTALLER_LITE_INSTALLER_DELAY_LOAD_HOOK_H_
#define CHROME_INSTALLER_LITE_INSTALLER_DELAY_LOAD_HOOK_H_

#include <windows.h>

// delayimp.h has no include guard: include it through this header only.
#include <delayimp.h>

#include <cstddef>

namespace lite_installer {

// The size of the stack buffer that holds a binding failure's text, with
// its terminating zero, where a crash dump finds it.
inline constexpr size_t kDelayLoadTextSize = 128;

// The process's delay-load notification and failure hook (both hook
// variables point at it; delay_load_hooks.cc). Notes when USER32 is first
// bound. A library or function that cannot be bound ends the process at a
// breakpoint trap, after telling an interactive user in a message box once
// USER32 is usable; it never returns then.
FARPROC WINAPI DelayLoadHook(unsigned notification, PDelayLoadInfo info);

// True when the raw process command line contains "--silent" (exactly,
// anywhere) or cannot be read. Deliberately not the parsed command line:
// it must work before anything else, without any library but kernel32.
bool HasSilentSwitchText();

// True when `name` begins with "user32.dll", letters compared regardless of
// case.
bool BeginsWithUser32(const char* name);

// Writes the failure text of `notification` (dliFailLoadLib or
// dliFailGetProc) into `text`, cut to fit and always terminated.
void FormatDelayLoadFailure(unsigned notification,
                            const DelayLoadInfo& info,
                            char (&text)[kDelayLoadTextSize]);

// Whether the hook has seen USER32 being bound (tests only).
bool User32ReachedForTesting();

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_DELAY_LOAD_HOOK_H_
