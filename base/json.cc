#include "base/json.h"

#include <cstdio>
#include <vector>

namespace base {
namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
         (c >= 'A' && c <= 'F');
}

// Rewrites our extensions into standard JSON: raw CR/LF inside strings become
// "\r"/"\n", "\xHH" becomes "\u00HH". Comments are copied unchanged (the
// parser skips them) but scanned so that quotes inside them are not taken
// for strings. `origin[i]` is the offset in `text` of output byte i, so
// errors can be reported at their original place. Nesting beyond
// kMaxJsonDepth stops the rewrite and sets `too_deep_at` to the offending
// bracket's offset.
std::string Normalize(std::string_view text,
                      std::vector<uint32_t>* origin,
                      std::optional<size_t>* too_deep_at) {
  std::string out;
  out.reserve(text.size() + 16);
  origin->clear();
  origin->reserve(text.size() + 16);
  auto emit = [&](std::string_view piece, size_t from) {
    for (char c : piece) {
      out.push_back(c);
      origin->push_back(static_cast<uint32_t>(from));
    }
  };
  enum class State { kCode, kString, kLineComment, kBlockComment };
  State state = State::kCode;
  int depth = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (state) {
      case State::kCode:
        if (c == '[' || c == '{') {
          if (++depth > kMaxJsonDepth) {
            *too_deep_at = i;
            return out;
          }
        } else if (c == ']' || c == '}') {
          --depth;
        }
        if (c == '"') {
          state = State::kString;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
          state = State::kLineComment;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
          emit("/*", i);
          ++i;
          state = State::kBlockComment;
          continue;
        }
        emit(std::string_view(&c, 1), i);
        break;
      case State::kString:
        if (c == '"') {
          state = State::kCode;
          emit("\"", i);
        } else if (c == '\r') {
          emit("\\r", i);
        } else if (c == '\n') {
          emit("\\n", i);
        } else if (c == '\\' && i + 1 < text.size()) {
          if (text[i + 1] == 'x' && i + 3 < text.size() &&
              IsHexDigit(text[i + 2]) && IsHexDigit(text[i + 3])) {
            emit("\\u00", i);
            emit(text.substr(i + 2, 2), i + 2);
            i += 3;
          } else {
            // Any other escape is left for the parser to judge.
            emit(text.substr(i, 2), i);
            ++i;
          }
        } else {
          emit(std::string_view(&c, 1), i);
        }
        break;
      case State::kLineComment:
        emit(std::string_view(&c, 1), i);
        if (c == '\n' || c == '\r')
          state = State::kCode;
        break;
      case State::kBlockComment:
        if (c == '*' && i + 1 < text.size() && text[i + 1] == '/') {
          emit("*/", i);
          ++i;
          state = State::kCode;
          continue;
        }
        emit(std::string_view(&c, 1), i);
        break;
    }
  }
  origin->push_back(static_cast<uint32_t>(text.size()));  // end of input
  return out;
}

// Builds the value tree, stopping at the first error or at excessive depth.
class DomBuilder : public nlohmann::json_sax<Json> {
 public:
  bool null() override { return Add(Json(nullptr)); }
  bool boolean(bool v) override { return Add(Json(v)); }
  bool number_integer(number_integer_t v) override { return Add(Json(v)); }
  bool number_unsigned(number_unsigned_t v) override { return Add(Json(v)); }
  bool number_float(number_float_t v, const string_t&) override {
    return Add(Json(v));
  }
  bool string(string_t& v) override { return Add(Json(std::move(v))); }
  bool binary(binary_t&) override { return false; }
  bool start_object(std::size_t) override { return Open(Json::object()); }
  bool key(string_t& k) override {
    pending_key_ = std::move(k);
    return true;
  }
  bool end_object() override { return Close(); }
  bool start_array(std::size_t) override { return Open(Json::array()); }
  bool end_array() override { return Close(); }
  bool parse_error(std::size_t position,
                   const std::string&,
                   const nlohmann::detail::exception& ex) override {
    error_position_ = position;
    std::string what = ex.what();
    // "[json.exception.parse_error.101] parse error at line 1, column 2:
    // syntax error ..." -> "syntax error ..."
    size_t colon = what.find(": ");
    message_ = colon == std::string::npos ? what : what.substr(colon + 2);
    return false;
  }

  Json TakeRoot() { return std::move(root_); }
  bool too_deep() const { return too_deep_; }
  size_t error_position() const { return error_position_; }
  const std::string& message() const { return message_; }

 private:
  Json* Insert(Json value) {
    if (stack_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Json* parent = stack_.back();
    if (parent->is_array()) {
      parent->push_back(std::move(value));
      return &parent->back();
    }
    Json& slot = (*parent)[pending_key_];
    slot = std::move(value);  // a repeated key keeps the last value
    return &slot;
  }
  bool Add(Json value) {
    Insert(std::move(value));
    return true;
  }
  bool Open(Json container) {
    if (static_cast<int>(stack_.size()) >= kMaxJsonDepth) {
      too_deep_ = true;
      return false;
    }
    stack_.push_back(Insert(std::move(container)));
    return true;
  }
  bool Close() {
    stack_.pop_back();
    return true;
  }

  Json root_;
  std::vector<Json*> stack_;
  std::string pending_key_;
  bool too_deep_ = false;
  size_t error_position_ = 0;
  std::string message_;
};

void LocateOffset(std::string_view text,
                  size_t offset,
                  int* line,
                  int* column) {
  *line = 1;
  *column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++*line;
      *column = 1;
    } else {
      ++*column;
    }
  }
}

}  // namespace

std::string JsonParseError::ToString() const {
  char prefix[64];
  std::snprintf(prefix, sizeof(prefix), "Line: %i, column: %i, ", line, column);
  return prefix + message;
}

std::optional<Json> ParseJson(std::string_view text, JsonParseError* error) {
  // A UTF-8 byte-order mark is not part of the document.
  if (text.starts_with("\xEF\xBB\xBF"))
    text.remove_prefix(3);
  std::vector<uint32_t> origin;
  std::optional<size_t> too_deep_at;
  const std::string normalized = Normalize(text, &origin, &too_deep_at);
  if (too_deep_at) {
    if (error) {
      error->message = "Too much nesting.";
      LocateOffset(text, *too_deep_at, &error->line, &error->column);
    }
    return std::nullopt;
  }
  DomBuilder builder;
  const bool ok =
      Json::sax_parse(normalized, &builder, Json::input_format_t::json,
                      /*strict=*/true, /*ignore_comments=*/true);
  if (ok)
    return builder.TakeRoot();
  if (error) {
    size_t position = 0;
    if (builder.too_deep()) {
      error->message = "Too much nesting.";
    } else {
      // The parser reports the count of bytes read; the offending byte is
      // the last of them.
      position = builder.error_position();
      position = position > 0 ? position - 1 : 0;
      error->message = builder.message();
    }
    const size_t original =
        position < origin.size() ? origin[position] : text.size();
    LocateOffset(text, original, &error->line, &error->column);
  }
  return std::nullopt;
}

std::string WriteJson(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string WriteJsonPretty(const Json& value) {
  std::string text = value.dump(3, ' ', false, Json::error_handler_t::replace);
  // Strings never hold a raw line feed in the output (it is escaped), so
  // every '\n' here is a line end.
  std::string out;
  out.reserve(text.size() + text.size() / 16 + 2);
  for (char c : text) {
    if (c == '\n')
      out.push_back('\r');
    out.push_back(c);
  }
  out += "\r\n";
  return out;
}

const Json* FindJsonPath(const Json& root, std::string_view dotted_path) {
  const Json* node = &root;
  while (true) {
    if (!node->is_object())
      return nullptr;
    const size_t dot = dotted_path.find('.');
    const std::string part(dotted_path.substr(0, dot));
    auto it = node->find(part);
    if (it == node->end())
      return nullptr;
    node = &*it;
    if (dot == std::string_view::npos)
      return node;
    dotted_path.remove_prefix(dot + 1);
  }
}

const std::string* JsonAsString(const Json* value) {
  return value && value->is_string() ? value->get_ptr<const std::string*>()
                                     : nullptr;
}

std::optional<bool> JsonAsBool(const Json* value) {
  if (!value || !value->is_boolean())
    return std::nullopt;
  return *value->get_ptr<const bool*>();
}

std::optional<int64_t> JsonAsInt(const Json* value) {
  if (!value)
    return std::nullopt;
  if (value->is_number_integer() && !value->is_number_unsigned())
    return *value->get_ptr<const int64_t*>();
  if (value->is_number_unsigned()) {
    uint64_t v = *value->get_ptr<const uint64_t*>();
    if (v <= static_cast<uint64_t>(INT64_MAX))
      return static_cast<int64_t>(v);
  }
  return std::nullopt;
}

}  // namespace base
