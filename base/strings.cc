#include "base/strings.h"

namespace base {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUTF8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUTF16(char32_t cp, std::u16string* out) {
  if (cp < 0x10000) {
    out->push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

template <typename Char>
std::string WideToUTF8Impl(std::basic_string_view<Char> text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t unit = static_cast<char16_t>(text[i]);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
      char32_t low = static_cast<char16_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUTF8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), &out);
        ++i;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF)
      unit = kReplacement;
    AppendUTF8(unit, &out);
  }
  return out;
}

std::u16string UTF8ToUTF16Impl(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, cp = lead & 0x07, min = 0x10000;
    } else {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    size_t j = 1;
    for (; j <= static_cast<size_t>(extra); ++j) {
      if (i + j >= text.size())
        break;
      unsigned char c = static_cast<unsigned char>(text[i + j]);
      if ((c & 0xC0) != 0x80)
        break;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (j <= static_cast<size_t>(extra) || cp < min || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(static_cast<char16_t>(kReplacement));
      i += j;  // skip the lead and the continuation bytes that were valid
      continue;
    }
    AppendUTF16(cp, &out);
    i += j;
  }
  return out;
}

}  // namespace

std::string WideToUTF8(std::u16string_view text) {
  return WideToUTF8Impl(text);
}

std::u16string UTF8ToUTF16(std::string_view text) {
  return UTF8ToUTF16Impl(text);
}

#if defined(_WIN32)
std::string WideToUTF8(std::wstring_view text) {
  return WideToUTF8Impl(text);
}

std::wstring UTF8ToWide(std::string_view text) {
  std::u16string u16 = UTF8ToUTF16Impl(text);
  return std::wstring(u16.begin(), u16.end());
}
#endif

std::string NarrowLowBytes(std::wstring_view text) {
  std::string out(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i)
    out[i] = static_cast<char>(text[i] & 0xFF);
  return out;
}

std::wstring WidenBytes(std::string_view text) {
  std::wstring out(text.size(), L'\0');
  for (size_t i = 0; i < text.size(); ++i)
    out[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
  return out;
}

std::string ToLowerASCII(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string ToUpperASCII(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string_view TrimWhitespaceASCII(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  size_t begin = text.find_first_not_of(kSpace);
  if (begin == std::string_view::npos)
    return {};
  size_t end = text.find_last_not_of(kSpace);
  return text.substr(begin, end - begin + 1);
}

std::wstring_view TrimWhitespace(std::wstring_view text) {
  constexpr std::wstring_view kSpace = L" \t\r\n";
  size_t begin = text.find_first_not_of(kSpace);
  if (begin == std::wstring_view::npos)
    return {};
  size_t end = text.find_last_not_of(kSpace);
  return text.substr(begin, end - begin + 1);
}

}  // namespace base
