#include "base/exception_guard.h"

#include <delayimp.h>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(ExceptionGuardTest, NormalReturnLeavesRecordEmpty) {
  int calls = 0;
  ExceptionRecord record;
  record.code = 1234;
  EXPECT_TRUE(CallWithExceptionGuard([&] { ++calls; }, &record));
  EXPECT_EQ(1, calls);
  EXPECT_EQ(0u, record.code);
}

// The delay-load helper raises this exception with its DelayLoadInfo when a
// DLL is missing; the guard must report the names it carries.
TEST(ExceptionGuardTest, DelayLoadFailureRecordsDllAndFunction) {
  DelayLoadInfo info = {};
  info.cb = sizeof(info);
  info.szDll = "cplib.dll";
  info.dlp.fImportByName = TRUE;
  info.dlp.szProcName = "CryptoProInit";
  ULONG_PTR args[1] = {reinterpret_cast<ULONG_PTR>(&info)};
  bool after_raise = false;
  ExceptionRecord record;
  EXPECT_FALSE(CallWithExceptionGuard(
      [&] {
        ::RaiseException(kDelayLoadModNotFound, 0, 1, args);
        after_raise = true;
      },
      &record));
  EXPECT_FALSE(after_raise);
  EXPECT_EQ(3228369022u, record.code);
  EXPECT_EQ("cplib.dll", record.dll_name);
  EXPECT_EQ("CryptoProInit", record.function_name);
}

TEST(ExceptionGuardTest, AccessViolationRecordsCodeOnly) {
  ExceptionRecord record;
  record.dll_name = "stale";
  volatile int* null_pointer = nullptr;
  EXPECT_FALSE(CallWithExceptionGuard([&] { *null_pointer = 1; }, &record));
  EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), record.code);
  EXPECT_TRUE(record.dll_name.empty());
  EXPECT_TRUE(record.function_name.empty());
}

// Recovery must restore the caller's registers and exception chain: locals
// survive repeated recoveries, and nested guards each see their own result.
TEST(ExceptionGuardTest, StateIntactAfterRecovery) {
  volatile int a = 11, b = 22, c = 33;
  for (int i = 0; i < 3; ++i) {
    ExceptionRecord record;
    EXPECT_FALSE(CallWithExceptionGuard(
        [&] {
          int depth[64];
          for (int& d : depth)
            d = i;
          ::RaiseException(0xE0000001 + i, 0, 0, nullptr);
          a = depth[3];
        },
        &record));
    EXPECT_EQ(0xE0000001u + i, record.code);
  }
  EXPECT_EQ(11, a);
  EXPECT_EQ(22, b);
  EXPECT_EQ(33, c);

  // Nested guards: the inner one catches, the outer one sees a normal return.
  ExceptionRecord outer, inner;
  bool inner_result = true;
  EXPECT_TRUE(CallWithExceptionGuard(
      [&] {
        inner_result = CallWithExceptionGuard(
            [] { ::RaiseException(0xE0000010, 0, 0, nullptr); }, &inner);
      },
      &outer));
  EXPECT_FALSE(inner_result);
  EXPECT_EQ(0xE0000010u, inner.code);
  EXPECT_EQ(0u, outer.code);
}

}  // namespace
}  // namespace base
