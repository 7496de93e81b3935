#include "chrome/installer/lite_installer/localized_strings.h"

// The module this code is linked into (the linker defines it for every
// image), so that the strings come from the installer even when another
// module asks.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace lite_installer {

namespace {

// RT_STRING resources hold sixteen strings a block; block n (counted from 1)
// holds ids (n - 1) * 16 to (n - 1) * 16 + 15.
constexpr UINT kStringsPerBlock = 16;

}  // namespace

std::wstring LoadLocalizedString(UINT string_id, LANGID language_id) {
  HMODULE module = reinterpret_cast<HMODULE>(&__ImageBase);
  // FindResourceExW rather than LoadStringW: LoadStringW picks the language
  // itself from the thread's UI language, and the installer shows the
  // brand's language whatever the user's is.
  HRSRC block = ::FindResourceExW(
      module, RT_STRING,
      MAKEINTRESOURCEW(string_id / kStringsPerBlock + 1), language_id);
  if (!block)
    return std::wstring();
  HGLOBAL loaded = ::LoadResource(module, block);
  const DWORD size = ::SizeofResource(module, block);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data)
    return std::wstring();

  // Each entry is a 16-bit length followed by that many UTF-16 units, no
  // terminator. Every step is checked against the block's size, so a short
  // or damaged block yields an empty text rather than a read past its end.
  const WCHAR* cursor = static_cast<const WCHAR*>(data);
  size_t remaining = size / sizeof(WCHAR);
  for (UINT entry = 0;; ++entry) {
    if (remaining == 0)
      return std::wstring();
    const size_t length = static_cast<WORD>(*cursor);
    ++cursor;
    --remaining;
    if (length > remaining)
      return std::wstring();
    if (entry == string_id % kStringsPerBlock)
      return std::wstring(cursor, length);
    cursor += length;
    remaining -= length;
  }
}

}  // namespace lite_installer
