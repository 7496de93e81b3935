#include "chrome/installer/lite_installer/shared_data.h"

#include <string>

#include "gtest/gtest.h"
#include "test/support/test_support.h"

namespace lite_installer {
namespace {

// Reports the shared value through the exit code, then stores args[0].
LITE_CHILD_MAIN(ReadAndWriteSharedPid) {
  DWORD seen = master_installer_pid;
  master_installer_pid = static_cast<DWORD>(std::stoul(args.at(0)));
  return static_cast<int>(seen);
}

TEST(SharedDataTest, ProcessesOfTheSameFileShareTheValue) {
  master_installer_pid = 0x1234567;
  test::ChildProcess child = test::StartChild("ReadAndWriteSharedPid", L"4242");
  ASSERT_TRUE(child.Wait(30000));
  EXPECT_EQ(0x1234567u, child.exit_code());
  // The child's store is visible here.
  EXPECT_EQ(4242u, master_installer_pid);
  master_installer_pid = 0;
}

}  // namespace
}  // namespace lite_installer
