#ifndef BRAND_AUTODETECT_H_
#define BRAND_AUTODETECT_H_

#include <string>
#include <string_view>

namespace installer {

// The brand for a region ("RU") and UI-language code ("uk"), or empty when
// no row of the table matches. Pure.
std::string BrandForRegionAndLocale(std::string_view region,
                                    std::string_view locale);

}  // namespace installer

// Chooses a brand from the user's region and UI language ("norvel" when
// nothing matches), logging what it saw and chose.
std::string AutodetectBrandName();

#endif  // BRAND_AUTODETECT_H_
