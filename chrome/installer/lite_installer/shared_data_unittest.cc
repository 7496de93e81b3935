#include "chrome/installer/lite_installer/shared_data.h"

#include <string>

#include "base/command_line.h"
#include "base/strings.h"
#include "chrome/installer/lite_installer/delayed_params.h"
#include "chrome/installer/lite_installer/installer.h"

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

namespace lite_installer {
namespace {

// The elevated copy's side: applies the shared block to a command line and
// writes its text form to args[0].
LITE_CHILD_MAIN(ApplySharedDelayedParams) {
  base::CommandLine line(L"elevated.exe");
  Installer::ApplyDelayedParams(&line);
  test::WriteStringToFile(args.at(0),
                          base::WideToUTF8(line.GetCommandLineString()));
  return GetDelayedParams().error_kind;
}

TEST(SharedDataTest, DelayedParamsReachAnotherProcess) {
  test::ScopedTempDir dir;
  const std::wstring arc = L"C:\\" + std::wstring(257, L'a');  // 260 units
  ASSERT_EQ(260u, arc.size());
  SetupCommandLineInputs inputs;
  inputs.archive_path = arc;
  inputs.clids_file_path = L"C:\\t\\clids.xml";
  inputs.installer_data_path = L"C:\\t\\data";
  inputs.partner_package_path = L"C:\\t\\PartnerFile";
  inputs.partner_package_extracted = true;
  inputs.download_time = L"9";
  inputs.install_start_time = 123456;
  inputs.send_statistics = 1;
  inputs.make_default = 1;
  inputs.install_nrpin = 0;
  ASSERT_TRUE(Installer::ElevatedProcessHolder::WriteDelayedParams(inputs));
  GetDelayedParams().error_kind = 6;
  const std::wstring out = dir.Append(L"line.txt");
  test::ChildProcess child =
      test::StartChild("ApplySharedDelayedParams", L"\"" + out + L"\"");
  ASSERT_TRUE(child.Wait(30000));
  EXPECT_EQ(6u, child.exit_code());
  std::string line;
  ASSERT_TRUE(test::ReadFileToString(out, &line));
  EXPECT_EQ(
      "\"" + base::WideToUTF8(arc) +
          "\" --clids-file=\"C:\\t\\clids.xml\" --disablenrpin "
          "--histogram-download-time=9 --install-start-time-no-uac=123456 "
          "--installerdata=\"C:\\t\\data\" --make-browser-default-after-import "
          "--partner-package=\"C:\\t\\PartnerFile\" --send-statistics",
      line);

  // One unit more is refused and leaves the block as it was.
  SetupCommandLineInputs too_long;
  too_long.archive_path = arc + L"b";
  EXPECT_FALSE(Installer::ElevatedProcessHolder::WriteDelayedParams(too_long));
  test::ChildProcess again =
      test::StartChild("ApplySharedDelayedParams", L"\"" + out + L"\"");
  ASSERT_TRUE(again.Wait(30000));
  std::string unchanged;
  test::ReadFileToString(out, &unchanged);
  EXPECT_EQ(line, unchanged);
  GetDelayedParams().error_kind = 0;
}

}  // namespace
}  // namespace lite_installer
