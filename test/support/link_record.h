#ifndef TEST_SUPPORT_LINK_RECORD_H_
#define TEST_SUPPORT_LINK_RECORD_H_

#include <windows.h>

#include <string>
#include <vector>

#include "test/support/test_support.h"

namespace test {

// The record that tools/link_recorder writes: tools/run_tests.sh makes the
// recorder the test prefix's http and https handler, and it appends each
// address it is started with (its arguments joined by spaces; an empty line
// when it has none) to the file that LITE_LINK_RECORD names. This object
// points the variable of this process, which the programs it starts
// inherit, at a fresh file for its life. One at a time.
class ScopedLinkRecord {
 public:
  ScopedLinkRecord();
  ScopedLinkRecord(const ScopedLinkRecord&) = delete;
  ScopedLinkRecord& operator=(const ScopedLinkRecord&) = delete;
  ~ScopedLinkRecord();

  const std::wstring& path() const { return path_; }
  // link_recorder.exe beside the test program, to copy where a program is
  // started by name.
  static std::wstring RecorderPath();

  // The recorded lines once at least `count` arrived (what there is after
  // `timeout_ms`).
  std::vector<std::string> WaitForLines(size_t count, DWORD timeout_ms = 15000);

 private:
  ScopedTempDir dir_;
  std::wstring path_;
};

}  // namespace test

#endif  // TEST_SUPPORT_LINK_RECORD_H_
