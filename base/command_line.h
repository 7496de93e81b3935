#ifndef BASE_COMMAND_LINE_H_
#define BASE_COMMAND_LINE_H_

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// A parsed command line: the program and its switches. Plain arguments are
// not kept. Switch names are lower case and stored once each (the last value
// given wins); values are wide, empty when the switch has none.
class CommandLine {
 public:
  using SwitchMap = std::map<std::string, std::wstring>;

  CommandLine() = default;
  explicit CommandLine(std::wstring program) : program_(std::move(program)) {}

  // Splits `raw` with CommandLineToArgvW and parses the pieces.
  static CommandLine FromString(std::wstring_view raw);
  // Parses already split arguments; argv[0] is the program.
  static CommandLine FromArgv(const std::vector<std::wstring>& argv);

  // The process command line, parsed once from GetCommandLineW on first use,
  // as given (switches that stand for others are the program's to expand).
  static const CommandLine& ForCurrentProcess();
  // Replaces the process command line (tests only). Not thread-safe, like the
  // first-use initialisation.
  static void InitForCurrentProcessForTesting(std::wstring_view raw);
  // Counts the parses of the process command line (1 after the first), so
  // that what is derived from it can tell when a test replaced it.
  static uint32_t ProcessCommandLineGeneration();

  const std::wstring& GetProgram() const { return program_; }
  void SetProgram(std::wstring program) { program_ = std::move(program); }

  bool HasSwitch(std::string_view name) const;
  std::wstring GetSwitchValue(std::string_view name) const;
  // Each UTF-16 unit narrowed to its low byte.
  std::string GetSwitchValueNarrow(std::string_view name) const;

  void AppendSwitch(std::string_view name);
  void AppendSwitch(std::string_view name, std::wstring_view value);
  // Widened byte by byte.
  void AppendSwitchNarrow(std::string_view name, std::string_view value);
  // Appends without a value when `present`, erases the switch otherwise.
  void SetSwitchPresence(std::string_view name, bool present);
  void RemoveSwitch(std::string_view name);

  const SwitchMap& switches() const { return switches_; }

  // The program, then " --name" or " --name=value" per switch in ascending
  // name order; the program and values quoted as CommandLineToArgvW expects.
  std::wstring GetCommandLineString() const;

  // Quotes `text` when it contains a space, a tab, a double quote or a
  // backslash.
  static std::wstring QuoteForCommandLine(std::wstring_view text);

 private:
  static std::string NormalizeName(std::string_view name);

  std::wstring program_;
  SwitchMap switches_;
};

}  // namespace base

#endif  // BASE_COMMAND_LINE_H_
