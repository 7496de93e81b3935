#ifndef TEST_SUPPORT_SCOPED_COMMAND_LINE_H_
#define TEST_SUPPORT_SCOPED_COMMAND_LINE_H_

#include <windows.h>

#include <string_view>

#include "base/command_line.h"

namespace test {

// Gives the process the command line a test chooses (until then, or with
// the default constructor, its own), and its real one back on destruction.
class ScopedCommandLine {
 public:
  ScopedCommandLine() = default;
  explicit ScopedCommandLine(std::wstring_view command_line) {
    Set(command_line);
  }
  ScopedCommandLine(const ScopedCommandLine&) = delete;
  ScopedCommandLine& operator=(const ScopedCommandLine&) = delete;
  ~ScopedCommandLine() { Set(::GetCommandLineW()); }

  void Set(std::wstring_view command_line) {
    base::CommandLine::InitForCurrentProcessForTesting(command_line);
  }
};

}  // namespace test

#endif  // TEST_SUPPORT_SCOPED_COMMAND_LINE_H_
