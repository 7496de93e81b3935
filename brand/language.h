#ifndef BRAND_LANGUAGE_H_
#define BRAND_LANGUAGE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace installer {

inline constexpr uint32_t kEnglishLanguageId = 1033;

// The interface-language code of a Windows language identifier ("ru" for
// 1049); "en" for identifiers the installer has no translation for.
std::string LanguageCodeForId(uint32_t language_id);

// The reverse; exact, case-sensitive match. Unknown codes (and "en") give
// 1033.
uint32_t LanguageIdForCode(std::string_view code);

// The code of the user's default UI language (through SystemFacts).
std::string GetUserUiLanguageCode();

}  // namespace installer

#endif  // BRAND_LANGUAGE_H_
