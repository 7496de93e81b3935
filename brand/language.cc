#include "brand/language.h"

#include "base/system_facts.h"

namespace installer {
namespace {

struct LanguageEntry {
  uint32_t id;
  const char* code;
};

constexpr LanguageEntry kLanguages[] = {
    {1028, "zh-TW"}, {1029, "cs"},    {1031, "de"},    {1036, "fr"},
    {1040, "it"},    {1041, "ja"},    {1046, "pt-BR"}, {1049, "ru"},
    {1055, "tr"},    {1058, "uk"},    {1087, "kk"},    {1091, "uz"},
    {2052, "zh-CN"}, {2070, "pt-PT"}, {3082, "es"},
};

}  // namespace

std::string LanguageCodeForId(uint32_t language_id) {
  for (const LanguageEntry& entry : kLanguages) {
    if (entry.id == language_id)
      return entry.code;
  }
  return "en";
}

uint32_t LanguageIdForCode(std::string_view code) {
  for (const LanguageEntry& entry : kLanguages) {
    if (code == entry.code)
      return entry.id;
  }
  return kEnglishLanguageId;
}

std::string GetUserUiLanguageCode() {
  return LanguageCodeForId(base::SystemFacts::Current().GetUserDefaultUILanguage());
}

}  // namespace installer
