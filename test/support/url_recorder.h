#ifndef TEST_SUPPORT_URL_RECORDER_H_
#define TEST_SUPPORT_URL_RECORDER_H_

#include <windows.h>

#include <string>
#include <vector>

#include "test/support/test_support.h"

namespace test {

// Makes tools/url_recorder (url_recorder.exe beside the test program) the
// shell's handler of http and https addresses for the life of the object,
// recording into a fresh file; the handlers that were there come back on
// destruction. A program copied from RecorderPath() records into the same
// file when started by name. One at a time.
class ScopedUrlRecorder {
 public:
  ScopedUrlRecorder();
  ScopedUrlRecorder(const ScopedUrlRecorder&) = delete;
  ScopedUrlRecorder& operator=(const ScopedUrlRecorder&) = delete;
  ~ScopedUrlRecorder();

  // False when a handler could not be set.
  bool ok() const { return ok_; }
  static std::wstring RecorderPath();

  // The arguments of each recorded start, in the order they arrived, once
  // at least `count` arrived (what there is after `timeout_ms`).
  std::vector<std::vector<std::string>> WaitForStarts(size_t count, DWORD timeout_ms = 15000);

 private:
  struct Saved {
    std::wstring key;
    bool existed = false;
    std::wstring value;
  };

  ScopedTempDir dir_;
  std::wstring file_;
  std::vector<Saved> saved_;
  bool ok_ = true;
};

}  // namespace test

#endif  // TEST_SUPPORT_URL_RECORDER_H_
