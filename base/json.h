#ifndef BASE_JSON_H_
#define BASE_JSON_H_

#include <optional>
#include <string>
#include <string_view>

#include "nlohmann/json.hpp"

// The project's JSON reader and writer, on nlohmann/json. The reader is
// strict JSON plus three extensions used by our configuration files: "//"
// and block comments, "\xHH" escapes (the code point U+00HH), and unescaped
// CR and LF inside strings. Everything else is rejected: trailing commas,
// "\v", other unescaped control characters, invalid UTF-8. No OS calls.
//
// This code is built without exceptions: never call nlohmann operations
// that throw (at(), get<>() on the wrong type, dump() without an error
// handler); use the helpers below.
namespace base {

using Json = nlohmann::json;

// Nesting deeper than this is rejected rather than risking the stack.
inline constexpr int kMaxJsonDepth = 200;

struct JsonParseError {
  int line = 0;    // 1-based, in the original text
  int column = 0;  // 1-based byte column in the original text
  std::string message;
  // "Line: %i, column: %i, %s"
  std::string ToString() const;
};

// Parses `text`; on failure returns nullopt and fills `error` when given.
std::optional<Json> ParseJson(std::string_view text,
                              JsonParseError* error = nullptr);

// Compact text: no white space, no line end.
std::string WriteJson(const Json& value);
// Three spaces of indentation per level, CR LF line ends, ending with CR LF.
std::string WriteJsonPretty(const Json& value);

// Looks up a dotted path ("install.setup_url") through nested objects.
// Returns nullptr when any step is missing or not an object.
const Json* FindJsonPath(const Json& root, std::string_view dotted_path);

// Typed views that never throw: nullptr / nullopt on a missing value or
// another type.
const std::string* JsonAsString(const Json* value);
std::optional<bool> JsonAsBool(const Json* value);
std::optional<int64_t> JsonAsInt(const Json* value);

}  // namespace base

#endif  // BASE_JSON_H_
