// Built into lite_installer_local.exe only, for the end-to-end tests of the
// crash reporter: "--lite-crash-test=KIND" crashes the installer right after
// its crash annotations are set.

#include <windows.h>

#include <string>

#include "base/command_line.h"
#include "chrome/installer/lite_installer/startup.h"
#include "crash/scoped_crash_reporter.h"
#include "logging/file_logger.h"

namespace {

constexpr char kCrashTestSwitch[] = "lite-crash-test";

void AccessViolation() {
  *static_cast<volatile int*>(nullptr) = 0x29;
}

DWORD WINAPI CrashingWorker(void*) {
  LOG(INFO) << "Crash test: worker thread " << ::GetCurrentThreadId();
  AccessViolation();
  return 0;
}

// Recurses until the stack is gone; the volatile frame keeps the compiler
// from turning it into a loop.
__attribute__((noinline)) int Overflow(int depth) {
  volatile char frame[64];
  frame[0] = static_cast<char>(depth);
  return Overflow(depth + 1) + frame[0];
}

DWORD WINAPI OverflowingWorker(void*) {
  LOG(INFO) << "Crash test: worker thread " << ::GetCurrentThreadId();
  return static_cast<DWORD>(Overflow(0));
}

void RunOnWorker(LPTHREAD_START_ROUTINE routine) {
  HANDLE thread = ::CreateThread(nullptr, 0, routine, nullptr, 0, nullptr);
  if (thread) {
    // The crash ends the process.
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
  }
}

void CrashAsAsked() {
  const std::string kind =
      base::CommandLine::ForCurrentProcess().GetSwitchValueNarrow(
          kCrashTestSwitch);
  if (kind.empty())
    return;
  LOG(INFO) << "Crash test: " << kind << " on thread " << ::GetCurrentThreadId();
  if (kind == "access-violation") {
    AccessViolation();
  } else if (kind == "breakpoint") {
    __debugbreak();
  } else if (kind == "worker-thread") {
    RunOnWorker(&CrashingWorker);
  } else if (kind == "stack-overflow") {
    RunOnWorker(&OverflowingWorker);
  } else if (kind == "handler-fault") {
    crashpad::ScopedCrashReporter::SetBeforeReportHookForTesting(
        &AccessViolation);
    AccessViolation();
  } else if (kind == "exit") {
    // No crash: ends where the crash would be (the benchmark's baseline).
    ::ExitProcess(0);
  } else {
    LOG(ERROR) << "Unknown crash test: " << kind;
  }
}

[[maybe_unused]] const bool g_registered = [] {
  lite_installer::g_after_crash_annotations_for_testing = &CrashAsAsked;
  return true;
}();

}  // namespace
