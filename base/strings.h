#ifndef BASE_STRINGS_H_
#define BASE_STRINGS_H_

#include <string>
#include <string_view>
#include <type_traits>

// String conversions without OS calls, so they also build natively.
namespace base {

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string WideToUTF8(std::u16string_view text);
// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::u16string UTF8ToUTF16(std::string_view text);

#if defined(_WIN32)
// wchar_t is UTF-16 on Windows.
std::string WideToUTF8(std::wstring_view text);
std::wstring UTF8ToWide(std::string_view text);
#endif

// Each UTF-16 unit narrowed to its low byte, and the reverse, byte by byte.
// Used where switches and registry values are read or written narrow.
std::string NarrowLowBytes(std::wstring_view text);
std::wstring WidenBytes(std::string_view text);

// Decimal text of an integer, the same as std::to_wstring writes. The
// standard library builds std::to_wstring on the C runtime's wide printf,
// which MinGW links in whole (about 11 KB); std::to_string does not need it.
template <typename T>
  requires std::is_integral_v<T>
std::wstring NumberToWide(T value) {
  return WidenBytes(std::to_string(value));
}

// ASCII lower- and upper-casing; other bytes unchanged.
std::string ToLowerASCII(std::string_view text);
std::string ToUpperASCII(std::string_view text);

// Trims spaces, tabs, CR and LF from both ends.
std::wstring_view TrimWhitespace(std::wstring_view text);
std::string_view TrimWhitespaceASCII(std::string_view text);

}  // namespace base

#endif  // BASE_STRINGS_H_
