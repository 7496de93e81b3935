#include "chrome/installer/lite_installer/localized_strings.h"

#include <string>

#include "base/json.h"
#include "base/strings.h"
#include "brand/brand_package_info.h"
#include "brand/language.h"
#include "gtest/gtest.h"
#include "test/support/test_support.h"

// This test program carries the same generated string tables as the
// installer; LITE_STRINGS_JSON names the texts the generator compiled them
// from.
#ifndef LITE_STRINGS_JSON
#error "LITE_STRINGS_JSON must name the generator's strings.json (Unix path)"
#endif

namespace lite_installer {
namespace {

constexpr UINT kFirstId = 400;
constexpr UINT kLastId = 510;

// The generator's texts: {"<language id>": {"code": ..., "strings":
// {"<id>": text}}}.
const base::Json& SourceTexts() {
  static const base::Json texts = [] {
    std::optional<base::Json> parsed = base::ParseJson(
        test::ReadFile(test::WinePath(LITE_STRINGS_JSON)));
    return parsed ? *parsed : base::Json();
  }();
  return texts;
}

std::wstring SourceText(LANGID language, UINT id) {
  const base::Json* text = base::FindJsonPath(
      SourceTexts(),
      std::to_string(language) + ".strings." + std::to_string(id));
  const std::string* utf8 = base::JsonAsString(text);
  return utf8 ? base::UTF8ToWide(*utf8) : std::wstring();
}

TEST(LoadLocalizedStringTest, EveryLanguageAndIdGivesItsSourceText) {
  const base::Json& texts = SourceTexts();
  ASSERT_TRUE(texts.is_object()) << "cannot read " << LITE_STRINGS_JSON;
  // The sixteen interface languages, each under its own identifier.
  const LANGID kLanguages[] = {1028, 1029, 1031, 1033, 1036, 1040,
                               1041, 1046, 1049, 1055, 1058, 1087,
                               1091, 2052, 2070, 3082};
  ASSERT_EQ(texts.size(), std::size(kLanguages));
  int compared = 0;
  for (LANGID language : kLanguages) {
    ASSERT_TRUE(texts.contains(std::to_string(language))) << language;
    for (UINT id = kFirstId; id <= kLastId; ++id) {
      if (id == 476 || id == 478)
        continue;
      const std::wstring expected = SourceText(language, id);
      ASSERT_FALSE(expected.empty()) << language << " " << id;
      EXPECT_EQ(LoadLocalizedString(id, language), expected)
          << "language " << language << ", id " << id;
      ++compared;
    }
  }
  EXPECT_EQ(compared, 16 * 109);
}

TEST(LoadLocalizedStringTest, EnglishKeepsItsExactCharacters) {
  // Spot checks of what a careless generator would lose: the line break
  // as U+000A, the no-break space, the placeholder and the link marks.
  EXPECT_EQ(LoadLocalizedString(403, 1033),
            L"A secure browser\nfor companies\nof any scale");
  EXPECT_EQ(LoadLocalizedString(468, 1033), L"Norvel\u00a0Browser");
  EXPECT_EQ(LoadLocalizedString(465, 1033), L"%i mins left");
  EXPECT_EQ(LoadLocalizedString(463, 1033),
            L"By using Norvel Browser,\nyou accept the terms of the\n"
            L"((License agreement))");
}

TEST(LoadLocalizedStringTest, AbsentTextsAreEmptyWithoutFallback) {
  for (LANGID language : {1033, 1049, 2052}) {
    // Ids that no language carries, inside blocks that exist.
    EXPECT_EQ(LoadLocalizedString(476, language), L"") << language;
    EXPECT_EQ(LoadLocalizedString(478, language), L"") << language;
    // The last entry of the last block, and a block that does not exist.
    EXPECT_EQ(LoadLocalizedString(511, language), L"") << language;
    EXPECT_EQ(LoadLocalizedString(399, language), L"") << language;
  }
  // A language the installer does not carry (Polish) gets nothing, not
  // English.
  for (UINT id : {400u, 415u, 510u})
    EXPECT_EQ(LoadLocalizedString(id, 1045), L"") << id;
}

TEST(LoadLocalizedStringTest, BrandLanguageChoosesTheTable) {
  struct Case {
    const char* code;
    LANGID expected_table;
  } const kCases[] = {{"pt-PT", 2070}, {"pt-BR", 1046}, {"pt", 1033}};
  for (const Case& c : kCases) {
    BrandPackageInfo brand(L"C:\\temp\\");
    brand.ApplyBrandInfo(std::string(R"({"languages": {"interface": ")") +
                         c.code + "\"}}");
    ASSERT_EQ(brand.language_id_, c.expected_table) << c.code;
    const LANGID language = static_cast<LANGID>(brand.language_id_);
    // 412 ("Downloading...") differs between the two Portuguese tables.
    EXPECT_EQ(LoadLocalizedString(412, language),
              SourceText(c.expected_table, 412))
        << c.code;
  }
  EXPECT_NE(SourceText(2070, 412), SourceText(1046, 412));
  EXPECT_EQ(installer::LanguageIdForCode("zh-TW"), 1028u);
  EXPECT_NE(LoadLocalizedString(409, 1028), LoadLocalizedString(409, 2052));
}

}  // namespace
}  // namespace lite_installer
