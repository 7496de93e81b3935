#include "chrome/installer/norvel/util/disk_space.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "base/system_facts.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/fake_system_facts.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace installer {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class DiskSpaceTest : public test::TestWithLog {
 protected:
  test::FakeSystemFacts facts_;
};

constexpr uint32_t k600MiB = 629145600;

TEST_F(DiskSpaceTest, ExactRequirementPassesOneByteLessFails) {
  facts_.SetFreeDiskSpace(k600MiB);
  EXPECT_TRUE(HasEnoughDiskSpace(false, k600MiB));
  EXPECT_THAT(Log(), Not(HasSubstr("not enough")));
  facts_.SetFreeDiskSpace(k600MiB - 1);
  EXPECT_FALSE(HasEnoughDiskSpace(false, k600MiB));
  EXPECT_THAT(
      Log(),
      HasSubstr("INFO: There is not enough disk space to install browser"));
  // Amounts beyond 32 bits compare correctly.
  facts_.SetFreeDiskSpace(0x100000000ull);
  EXPECT_TRUE(HasEnoughDiskSpace(false, 0xFFFFFFFFu));
}

TEST_F(DiskSpaceTest, MeasuresTheFolderThatReceivesTheBrowser) {
  facts_.SetFreeDiskSpace(k600MiB);
  HasEnoughDiskSpace(true, 1);
  std::wstring program_files = facts_.last_free_space_folder();
  HasEnoughDiskSpace(false, 1);
  std::wstring local_app_data = facts_.last_free_space_folder();
  EXPECT_THAT(test::ToLower(program_files), HasSubstr(L"program files"));
  EXPECT_NE(program_files, local_app_data);
}

TEST_F(DiskSpaceTest, UnmeasurableSpaceFailsOpen) {
  facts_.SetFreeDiskSpace(std::nullopt);
  EXPECT_TRUE(HasEnoughDiskSpace(false, k600MiB));
  EXPECT_THAT(Log(), HasSubstr("INFO: GetDiskFreeSpaceEx failed"));
}

// The real volume is measured (not the fail-open answer), and the figure is
// the one the older cluster-counting call gives for the same folder.
TEST(DiskSpaceRealTest, RealVolumeIsMeasured) {
  wchar_t folder[MAX_PATH];
  ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(
      nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)));
  const std::optional<uint64_t> free_bytes =
      base::SystemFacts().GetFreeDiskSpace(folder);
  ASSERT_TRUE(free_bytes.has_value());
  const std::wstring root = std::wstring(folder, 3);  // "C:\"
  DWORD sectors = 0, sector_bytes = 0, free_clusters = 0, clusters = 0;
  ASSERT_TRUE(::GetDiskFreeSpaceW(root.c_str(), &sectors, &sector_bytes,
                                  &free_clusters, &clusters));
  const uint64_t by_clusters = uint64_t{sectors} * sector_bytes * free_clusters;
  // Other processes write meanwhile; a wrong figure is off by far more.
  const uint64_t slack = uint64_t{1} << 30;
  EXPECT_LT(*free_bytes, by_clusters + slack) << by_clusters;
  EXPECT_GT(*free_bytes + slack, by_clusters) << by_clusters;

  test::ScopedTestLog log;
  EXPECT_TRUE(HasEnoughDiskSpace(false, 1));
  EXPECT_THAT(log.Read(), Not(HasSubstr("failed")));
}

}  // namespace
}  // namespace installer
