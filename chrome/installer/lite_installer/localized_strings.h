#ifndef CHROME_INSTALLER_LITE_INSTALLER_LOCALIZED_STRINGS_H_
#define CHROME_INSTALLER_LITE_INSTALLER_LOCALIZED_STRINGS_H_

#include <windows.h>

#include <string>

namespace lite_installer {

// The text of `string_id` in the string table of `language_id` compiled
// into this module. Empty when that language has no such block or entry,
// or the entry is empty: there is no fallback to another language, so a
// text missing in the chosen language shows as nothing.
std::wstring LoadLocalizedString(UINT string_id, LANGID language_id);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_LOCALIZED_STRINGS_H_
