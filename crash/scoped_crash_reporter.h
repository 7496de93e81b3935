#ifndef CRASH_SCOPED_CRASH_REPORTER_H_
#define CRASH_SCOPED_CRASH_REPORTER_H_

#include <windows.h>

#include <memory>
#include <string>

namespace crashpad {

// Writes a minidump of this process when it dies of an unhandled exception
// and uploads it with the annotations to `server_origin` + "/submit". One
// per process, from the start of the program to its end.
class ScopedCrashReporter {
 public:
  explicit ScopedCrashReporter(const std::string& server_origin);
  ScopedCrashReporter(const ScopedCrashReporter&) = delete;
  ScopedCrashReporter& operator=(const ScopedCrashReporter&) = delete;
  ~ScopedCrashReporter();

  // Sets (or replaces) an annotation; an empty key or value is ignored.
  void SetAnnotation(const std::string& key, const std::string& value);

  // Writes and sends a report for `pointers` as a crash would, for failures
  // that are reported without reaching the unhandled-exception filter (such
  // as a delay-load failure). Returns whether a dump was written; false when
  // no reporter is armed. The caller decides whether the process goes on.
  static bool ReportException(EXCEPTION_POINTERS* pointers);

  // Test programs only: runs `hook` on the thread that writes the report,
  // before it writes anything.
  static void SetBeforeReportHookForTesting(void (*hook)());

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace crashpad

#endif  // CRASH_SCOPED_CRASH_REPORTER_H_
