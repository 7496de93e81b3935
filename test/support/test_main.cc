#include <windows.h>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/test_support.h"

int wmain(int argc, wchar_t** argv) {
  int exit_code = 0;
  if (test::MaybeRunChildMain(argc, argv, &exit_code))
    return exit_code;
  // A crash must end the test, not wait on an error box.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
