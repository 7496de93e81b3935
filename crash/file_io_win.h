#ifndef CRASH_FILE_IO_WIN_H_
#define CRASH_FILE_IO_WIN_H_

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace crashpad {

// The message text for `code` as the platform log writes it: the text from
// `module`'s message table (when given) or the system's, English or neutral,
// without its trailing blanks, then " (0x%lx)". When no text is found:
// "error 0x%lx while retrieving error 0x%lx" (the lookup's own error, then
// the code).
std::string FailedCallMessage(DWORD code, HMODULE module = nullptr);

// Reports a failed call to the platform log's error level as
// "CALL: " + FailedCallMessage(code, module).
void ReportFailedCall(std::string_view call, DWORD code,
                      HMODULE module = nullptr);

// One ReadFile of at most `size` bytes from the current position: the count
// read (0 at the end of the file), or -1 after reporting "ReadFile" with the
// system error. A size above INT32_MAX is read as INT32_MAX.
int64_t ReadFileOnce(HANDLE file, void* buffer, size_t size);

}  // namespace crashpad

#endif  // CRASH_FILE_IO_WIN_H_
