#ifndef TEST_SUPPORT_SCOPED_TEST_LOG_H_
#define TEST_SUPPORT_SCOPED_TEST_LOG_H_

#include <windows.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "test/support/test_support.h"

namespace test {

// One entry of the file log as the logger writes it:
// "YYYY-MM-DD hh:mm:ss.mmm PID:TID LEVEL: text (function:line)". A system
// error description ends with a line break, so an entry may span lines.
struct LogEntry {
  std::string text;  // the whole entry, its lines joined by "\n"
  DWORD process_id = 0;
  // "LEVEL: text": the entry without its time stamp, ids and function
  // suffix. An entry not of the logger's form gives "UNPARSED: " and its
  // whole text.
  std::string message;
  std::string function;  // as the suffix names it
};

// The entries of a log's text, oldest first.
std::vector<LogEntry> ParseLog(const std::string& text);

// The log file that the file logger writes into a folder, under the name the
// program gives it in its temporary directory.
class TestLog {
 public:
  explicit TestLog(const std::wstring& dir);

  // Everything logged so far.
  std::string Read() const;
  std::vector<LogEntry> Entries() const;
  // The entries' messages (see LogEntry).
  std::vector<std::string> Messages() const;
  // Forgets what was logged so far.
  void Clear() const;
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// Installs the process's file logger into a scratch directory for the life
// of the object, so a test can read the lines the code under test wrote.
// (The directory is a base so that it exists before the log names it.)
class ScopedTestLog : private ScopedTempDir, public TestLog {
 public:
  ScopedTestLog();
  ScopedTestLog(const ScopedTestLog&) = delete;
  ScopedTestLog& operator=(const ScopedTestLog&) = delete;
  ~ScopedTestLog();

  using TestLog::path;
};

// A test of code that logs: its log is read back through log_ or Log().
class TestWithLog : public testing::Test {
 protected:
  std::string Log() const { return log_.Read(); }

  ScopedTestLog log_;
};

}  // namespace test

#endif  // TEST_SUPPORT_SCOPED_TEST_LOG_H_
