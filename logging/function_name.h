#ifndef LOGGING_FUNCTION_NAME_H_
#define LOGGING_FUNCTION_NAME_H_

#include <cstddef>
#include <string_view>

// Turns the compiler's __PRETTY_FUNCTION__ into the name form written in log
// lines, at compile time: the qualified name without return type, parameters
// or template arguments list, keeping a leading "virtual ", with anonymous
// namespaces written "(anonymous namespace)". Examples:
//   "virtual bool Installer::Download(int)"  -> "virtual Installer::Download"
//   "std::wstring broupdater::GetUserIdFilePath()"
//                                            -> "broupdater::GetUserIdFilePath"
//   "int {anonymous}::Helper()"             -> "(anonymous namespace)::Helper"
namespace broupdater::internal {

inline constexpr std::string_view kVirtualPrefix = "virtual ";
inline constexpr std::string_view kGccAnonymous = "{anonymous}";
inline constexpr std::string_view kAnonymous = "(anonymous namespace)";

struct FunctionNameParts {
  bool is_virtual = false;
  std::string_view name;  // still with GCC's "{anonymous}" spelling
};

constexpr FunctionNameParts SplitPrettyFunction(std::string_view pretty) {
  FunctionNameParts parts;
  parts.is_virtual = pretty.starts_with(kVirtualPrefix);
  // GCC appends " [with T = ...]" for templates.
  size_t with = pretty.find(" [with ");
  if (with != std::string_view::npos)
    pretty = pretty.substr(0, with);

  // The parameter list is the last parenthesised group; anything after it
  // (" const", " noexcept", "&") is a qualifier.
  size_t close = pretty.rfind(')');
  size_t name_end = pretty.size();
  if (close != std::string_view::npos) {
    int depth = 0;
    size_t i = close + 1;
    while (i > 0) {
      --i;
      if (pretty[i] == ')') {
        ++depth;
      } else if (pretty[i] == '(') {
        if (--depth == 0)
          break;
      }
    }
    if (depth == 0)
      name_end = i;
  }
  // Walk back over the name to the blank that ends the return type, skipping
  // blanks inside template argument lists ("Map<int, int>::Get").
  int angle = 0;
  size_t begin = name_end;
  while (begin > 0) {
    char c = pretty[begin - 1];
    if (c == '>') {
      ++angle;
    } else if (c == '<' && angle > 0) {
      --angle;
    } else if (c == ' ' && angle == 0) {
      break;
    }
    --begin;
  }
  parts.name = pretty.substr(begin, name_end - begin);
  if (parts.is_virtual && parts.name.starts_with(kVirtualPrefix))
    parts.name.remove_prefix(kVirtualPrefix.size());
  return parts;
}

// Length of the formatted name, without a terminating NUL.
constexpr size_t FormattedFunctionNameLength(std::string_view pretty) {
  FunctionNameParts parts = SplitPrettyFunction(pretty);
  size_t length = parts.is_virtual ? kVirtualPrefix.size() : 0;
  std::string_view rest = parts.name;
  while (!rest.empty()) {
    if (rest.starts_with(kGccAnonymous)) {
      length += kAnonymous.size();
      rest.remove_prefix(kGccAnonymous.size());
    } else {
      ++length;
      rest.remove_prefix(1);
    }
  }
  return length;
}

template <size_t N>
struct FunctionNameBuffer {
  char data[N] = {};
};

// N must be FormattedFunctionNameLength(pretty) + 1.
template <size_t N>
constexpr FunctionNameBuffer<N> FormatFunctionName(std::string_view pretty) {
  FunctionNameBuffer<N> out;
  FunctionNameParts parts = SplitPrettyFunction(pretty);
  size_t pos = 0;
  auto append = [&](std::string_view text) {
    for (char c : text) {
      if (pos + 1 < N)
        out.data[pos++] = c;
    }
  };
  if (parts.is_virtual)
    append(kVirtualPrefix);
  std::string_view rest = parts.name;
  while (!rest.empty()) {
    if (rest.starts_with(kGccAnonymous)) {
      append(kAnonymous);
      rest.remove_prefix(kGccAnonymous.size());
    } else {
      append(rest.substr(0, 1));
      rest.remove_prefix(1);
    }
  }
  out.data[pos] = '\0';
  return out;
}

}  // namespace broupdater::internal

// The calling function's name in log form, as a pointer to static storage.
// Computed once per call site, at compile time.
#define LITE_FUNCTION_NAME                                       \
  (__extension__({                                               \
    static constexpr auto lite_function_name_ =                  \
        ::broupdater::internal::FormatFunctionName<              \
            ::broupdater::internal::FormattedFunctionNameLength( \
                __PRETTY_FUNCTION__) +                           \
            1>(__PRETTY_FUNCTION__);                             \
    static_cast<const char*>(lite_function_name_.data);          \
  }))

#endif  // LOGGING_FUNCTION_NAME_H_
