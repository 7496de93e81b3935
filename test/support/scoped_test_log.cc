#include "test/support/scoped_test_log.h"

#include <memory>

#include "logging/file_logger.h"

namespace test {

ScopedTestLog::ScopedTestLog() : path_(dir_.Append(L"lite_installer.log")) {
  broupdater::SetFileLogger(std::make_unique<broupdater::FileLogger>(
      path_, broupdater::kLogFileMaxSize));
}

ScopedTestLog::~ScopedTestLog() {
  broupdater::SetFileLogger(nullptr);
}

std::string ScopedTestLog::Read() const {
  std::string text;
  ReadFileToString(path_, &text);
  return text;
}

}  // namespace test
