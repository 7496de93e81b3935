#include "test/support/scoped_test_log.h"

#include <cstdlib>
#include <memory>
#include <regex>

#include "logging/file_logger.h"

namespace test {
namespace {

// The time stamp and the process and thread ids that open every entry.
const std::regex& HeaderPattern() {
  static const std::regex pattern(
      R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (\d+):\d+ )");
  return pattern;
}

// Fills the parts of `entry` from its text; false when it has not the
// logger's form. The suffix " (function:line)" is found from the end, its
// parentheses balanced, since function names hold "(anonymous namespace)".
bool SplitEntry(LogEntry* entry) {
  const std::string& text = entry->text;
  std::smatch header;
  if (!std::regex_search(text, header, HeaderPattern()) || text.empty() ||
      text.back() != ')') {
    return false;
  }
  size_t open = text.size() - 1;
  for (int depth = 0;; --open) {
    depth += text[open] == ')' ? 1 : text[open] == '(' ? -1 : 0;
    if (depth == 0)
      break;
    if (open == 0)
      return false;
  }
  const size_t start = header.length(0);
  const size_t colon = text.rfind(':');
  if (open < start + 1 || text[open - 1] != ' ' || colon < open)
    return false;
  size_t end = open - 1;
  if (end > start && text[end - 1] == '\n')
    --end;
  entry->process_id = std::strtoul(header[1].str().c_str(), nullptr, 10);
  entry->message = text.substr(start, end - start);
  entry->function = text.substr(open + 1, colon - open - 1);
  return true;
}

}  // namespace

std::vector<LogEntry> ParseLog(const std::string& text) {
  std::vector<LogEntry> entries;
  for (std::string line : SplitLines(text)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (entries.empty() || std::regex_search(line, HeaderPattern()))
      entries.push_back(LogEntry{line});
    else
      entries.back().text += "\n" + line;
  }
  std::erase_if(entries, [](const LogEntry& e) { return e.text.empty(); });
  for (LogEntry& entry : entries) {
    if (!SplitEntry(&entry))
      entry.message = "UNPARSED: " + entry.text;
  }
  return entries;
}

TestLog::TestLog(const std::wstring& dir)
    : path_(dir + L"\\lite_installer.log") {}

std::string TestLog::Read() const {
  return ReadFile(path_);
}

std::vector<LogEntry> TestLog::Entries() const {
  return ParseLog(Read());
}

std::vector<std::string> TestLog::Messages() const {
  std::vector<std::string> messages;
  for (const LogEntry& entry : Entries())
    messages.push_back(entry.message);
  return messages;
}

void TestLog::Clear() const {
  ::DeleteFileW(path_.c_str());
}

ScopedTestLog::ScopedTestLog() : TestLog(ScopedTempDir::path()) {
  broupdater::SetFileLogger(std::make_unique<broupdater::FileLogger>(
      TestLog::path(), broupdater::kLogFileMaxSize));
}

ScopedTestLog::~ScopedTestLog() {
  broupdater::SetFileLogger(nullptr);
}

}  // namespace test
