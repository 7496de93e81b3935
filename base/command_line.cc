#include "base/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <optional>

#include "base/strings.h"

namespace base {
namespace {

std::optional<CommandLine>& ProcessCommandLine() {
  static std::optional<CommandLine> command_line;
  return command_line;
}

uint32_t g_process_command_line_generation = 0;

}  // namespace

// static
CommandLine CommandLine::FromString(std::wstring_view raw) {
  std::wstring trimmed(TrimWhitespace(raw));
  if (trimmed.empty())
    return CommandLine();
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(trimmed.c_str(), &argc);
  if (!argv)
    return CommandLine();
  std::vector<std::wstring> args(argv, argv + argc);
  ::LocalFree(argv);
  return FromArgv(args);
}

// static
CommandLine CommandLine::FromArgv(const std::vector<std::wstring>& argv) {
  CommandLine result;
  if (argv.empty())
    return result;
  result.program_ = std::wstring(TrimWhitespace(argv[0]));
  for (size_t i = 1; i < argv.size(); ++i) {
    std::wstring_view arg = TrimWhitespace(argv[i]);
    size_t prefix = 0;
    if (arg.starts_with(L"--"))
      prefix = 2;
    else if (arg.starts_with(L"-") || arg.starts_with(L"/"))
      prefix = 1;
    else
      continue;  // plain arguments are dropped
    arg.remove_prefix(prefix);
    size_t eq = arg.find(L'=');
    std::wstring_view name = arg.substr(0, eq);
    std::wstring_view value = eq == std::wstring_view::npos
                                  ? std::wstring_view()
                                  : arg.substr(eq + 1);
    result.AppendSwitch(NarrowLowBytes(name), value);
  }
  return result;
}

// static
const CommandLine& CommandLine::ForCurrentProcess() {
  std::optional<CommandLine>& command_line = ProcessCommandLine();
  if (!command_line) {
    command_line = FromString(::GetCommandLineW());
    ++g_process_command_line_generation;
  }
  return *command_line;
}

// static
void CommandLine::InitForCurrentProcessForTesting(std::wstring_view raw) {
  ProcessCommandLine() = FromString(raw);
  ++g_process_command_line_generation;
}

// static
uint32_t CommandLine::ProcessCommandLineGeneration() {
  ForCurrentProcess();
  return g_process_command_line_generation;
}

// static
std::string CommandLine::NormalizeName(std::string_view name) {
  if (name.starts_with("--"))
    name.remove_prefix(2);
  else if (name.starts_with("-") || name.starts_with("/"))
    name.remove_prefix(1);
  return ToLowerASCII(name);
}

bool CommandLine::HasSwitch(std::string_view name) const {
  return switches_.count(ToLowerASCII(name)) != 0;
}

std::wstring CommandLine::GetSwitchValue(std::string_view name) const {
  auto it = switches_.find(ToLowerASCII(name));
  return it == switches_.end() ? std::wstring() : it->second;
}

std::string CommandLine::GetSwitchValueNarrow(std::string_view name) const {
  return NarrowLowBytes(GetSwitchValue(name));
}

void CommandLine::AppendSwitch(std::string_view name) {
  AppendSwitch(name, std::wstring_view());
}

void CommandLine::AppendSwitch(std::string_view name, std::wstring_view value) {
  switches_[NormalizeName(name)] = std::wstring(value);
}

void CommandLine::AppendSwitchNarrow(std::string_view name,
                                     std::string_view value) {
  AppendSwitch(name, WidenBytes(value));
}

void CommandLine::SetSwitchPresence(std::string_view name, bool present) {
  if (present)
    AppendSwitch(name);
  else
    RemoveSwitch(name);
}

void CommandLine::RemoveSwitch(std::string_view name) {
  switches_.erase(NormalizeName(name));
}

// static
std::wstring CommandLine::QuoteForCommandLine(std::wstring_view text) {
  // A tab separates arguments just as a space does: left bare, it would let
  // a value split into further switches on the receiving side.
  if (text.find_first_of(L" \t\"\\") == std::wstring_view::npos)
    return std::wstring(text);
  std::wstring out(1, L'"');
  size_t backslashes = 0;
  for (wchar_t c : text) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      // Backslashes before a quote are doubled, and the quote escaped.
      out.append(backslashes * 2 + 1, L'\\');
    } else {
      out.append(backslashes, L'\\');
    }
    backslashes = 0;
    out.push_back(c);
  }
  // Trailing backslashes stand before the closing quote: doubled.
  out.append(backslashes * 2, L'\\');
  out.push_back(L'"');
  return out;
}

std::wstring CommandLine::GetCommandLineString() const {
  std::wstring out = QuoteForCommandLine(program_);
  for (const auto& [name, value] : switches_) {
    out += L" --";
    out += WidenBytes(name);
    if (!value.empty()) {
      out.push_back(L'=');
      out += QuoteForCommandLine(value);
    }
  }
  return out;
}

}  // namespace base
