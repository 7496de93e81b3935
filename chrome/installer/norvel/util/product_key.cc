#include "chrome/installer/norvel/util/product_key.h"

#include <string>

namespace installer {
namespace {

// Channel builds would name a distinct key here; this build has none.
constexpr wchar_t kProductKeySuffix[] = L"";

struct ProductKeyBuffer {
  ProductKeyBuffer() {
    const std::wstring key = std::wstring(L"Software\\") + kCompanyName +
                             L"\\" + kProductName + kProductKeySuffix;
    // Leaves the terminating NUL in place whatever the names' length.
    key.copy(text, kProductKeyBufferSize - 1);
  }
  wchar_t text[kProductKeyBufferSize] = {};
};

}  // namespace

const wchar_t* GetProductKey() {
  // A function-local static is initialised once even when several threads
  // ask first.
  static const ProductKeyBuffer buffer;
  return buffer.text;
}

std::wstring GetBrowserInstallationFolder() {
  return std::wstring(kCompanyName) + L"\\" + kProductName;
}

}  // namespace installer
