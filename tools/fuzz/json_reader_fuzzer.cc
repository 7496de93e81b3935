// Feeds arbitrary bytes to the JSON reader; whatever parses must write out
// and read back to the same value.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  base::JsonParseError error;
  std::optional<base::Json> value = base::ParseJson(text, &error);
  if (!value) {
    if (error.line < 1 || error.column < 1)
      __builtin_trap();
    return 0;
  }
  std::optional<base::Json> again = base::ParseJson(base::WriteJson(*value));
  if (!again || *again != *value)
    __builtin_trap();
  base::WriteJsonPretty(*value);
  return 0;
}
