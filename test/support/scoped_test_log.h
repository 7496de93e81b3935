#ifndef TEST_SUPPORT_SCOPED_TEST_LOG_H_
#define TEST_SUPPORT_SCOPED_TEST_LOG_H_

#include <string>

#include "test/support/test_support.h"

namespace test {

// Installs the process's file logger into a scratch directory for the life
// of the object, so a test can read the lines the code under test wrote.
class ScopedTestLog {
 public:
  ScopedTestLog();
  ScopedTestLog(const ScopedTestLog&) = delete;
  ScopedTestLog& operator=(const ScopedTestLog&) = delete;
  ~ScopedTestLog();

  // Everything logged so far.
  std::string Read() const;
  const std::wstring& path() const { return path_; }

 private:
  ScopedTempDir dir_;
  std::wstring path_;
};

}  // namespace test

#endif  // TEST_SUPPORT_SCOPED_TEST_LOG_H_
