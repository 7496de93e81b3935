#include "chrome/installer/lite_installer/delay_load_hook.h"

#include <cstring>
#include <cwchar>

namespace lite_installer {

namespace {

// Set once USER32 is being bound: from then on a message box can be shown.
// A plain byte that only ever goes from 0 to 1, so no lock is needed.
unsigned char user32_reached = 0;

// Appends `piece` to the text at `*used`, as much as fits before the
// terminating zero.
void Append(char (&text)[kDelayLoadTextSize], size_t* used, const char* piece) {
  if (!piece)
    return;
  while (*piece && *used < kDelayLoadTextSize - 1)
    text[(*used)++] = *piece++;
  text[*used] = '\0';
}

}  // namespace

bool BeginsWithUser32(const char* name) {
  static constexpr char kUser32[] = "user32.dll";
  if (!name)
    return false;
  for (size_t i = 0; i < sizeof(kUser32) - 1; ++i) {
    char c = name[i];
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    if (c != kUser32[i])
      return false;
  }
  return true;
}

bool HasSilentSwitchText() {
  const wchar_t* command_line = ::GetCommandLineW();
  return !command_line || std::wcsstr(command_line, L"--silent") != nullptr;
}

void FormatDelayLoadFailure(unsigned notification,
                            const DelayLoadInfo& info,
                            char (&text)[kDelayLoadTextSize]) {
  std::memset(text, 0, kDelayLoadTextSize);
  size_t used = 0;
  if (notification == dliFailLoadLib) {
    Append(text, &used, "Windows dll is not found: ");
    Append(text, &used, info.szDll);
    return;
  }
  Append(text, &used, "Function ");
  if (info.dlp.fImportByName) {
    Append(text, &used, info.dlp.szProcName);
  } else {
    char ordinal[16] = "#";
    size_t at = 1;
    char digits[12];
    int count = 0;
    DWORD value = info.dlp.dwOrdinal;
    do {
      digits[count++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value);
    while (count)
      ordinal[at++] = digits[--count];
    Append(text, &used, ordinal);
  }
  Append(text, &used, " not found in Windows dll ");
  Append(text, &used, info.szDll);
}

FARPROC WINAPI DelayLoadHook(unsigned notification, PDelayLoadInfo info) {
  if (notification == dliNotePreLoadLibrary ||
      notification == dliNotePreGetProcAddress) {
    if (!user32_reached && BeginsWithUser32(info->szDll))
      user32_reached = 1;
    return nullptr;
  }
  if (notification != dliFailLoadLib && notification != dliFailGetProc)
    return nullptr;

  // On this frame's stack, where the crash dump shows it.
  char text[kDelayLoadTextSize];
  FormatDelayLoadFailure(notification, *info, text);
  // USER32 itself failing, or not bound yet, leaves no way to show a box.
  if (!HasSilentSwitchText() && user32_reached &&
      !BeginsWithUser32(info->szDll)) {
    ::MessageBoxA(nullptr, text, "Norvel Browser installer", MB_OK);
  }
  __debugbreak();
  // Keeps the text alive (and written) up to the trap.
  asm volatile("" : : "r"(text) : "memory");
  return nullptr;
}

bool User32ReachedForTesting() {
  return user32_reached != 0;
}

}  // namespace lite_installer
