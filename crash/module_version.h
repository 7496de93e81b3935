#ifndef CRASH_MODULE_VERSION_H_
#define CRASH_MODULE_VERSION_H_

#include <windows.h>

#include <string>

namespace crashpad {

// The root block of a module's version resource. False, with a warning in
// the platform log ("GetFileVersionInfo: " or "VerQueryValue: " and the
// file name), when it cannot be read.
bool GetModuleVersionAndType(const std::wstring& path, VS_FIXEDFILEINFO* info);

}  // namespace crashpad

#endif  // CRASH_MODULE_VERSION_H_
