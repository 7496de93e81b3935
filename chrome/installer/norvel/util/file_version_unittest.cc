#include "chrome/installer/norvel/util/file_version.h"

#include <windows.h>

#include <memory>
#include <string>

#include "base/strings.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace installer {
namespace {

using ::testing::HasSubstr;

class FileVersionTest : public test::TestWithLog {
 protected:
  test::ScopedTempDir dir_;
};

TEST_F(FileVersionTest, ReadsTheProductVersionOfTheInstaller) {
  // The product's version resource carries the project version.
  const std::wstring exe = test::ExecutableDir() + L"\\lite_installer.exe";
  uint64_t version = 0;
  ASSERT_TRUE(GetFileVersion(exe, &version));
  EXPECT_EQ(LITE_PRODUCT_VERSION, FormatFileVersion(version));
  EXPECT_EQ(LITE_PRODUCT_VERSION, GetFileVersionString(exe));

  // The log shows the two 32-bit halves in decimal.
  const std::string ms = std::to_string(version >> 32);
  const std::string ls = std::to_string(version & 0xFFFFFFFF);
  EXPECT_THAT(Log(), HasSubstr("INFO: File: " + base::WideToUTF8(exe) +
                               " Version: " + ms + "." + ls + " ("));
}

TEST_F(FileVersionTest, FilesWithoutVersionResourceGiveZeros) {
  // The test binary has no version resource.
  wchar_t self[MAX_PATH];
  ASSERT_NE(0u, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
  uint64_t version = 123;
  EXPECT_FALSE(GetFileVersion(self, &version));
  EXPECT_EQ(123u, version);
  EXPECT_EQ("0.0.0.0", GetFileVersionString(self));

  const std::wstring text_file = dir_.Append(L"plain.txt");
  ASSERT_TRUE(test::WriteStringToFile(text_file, "not a program"));
  EXPECT_EQ("0.0.0.0", GetFileVersionString(text_file));
  EXPECT_EQ("0.0.0.0", GetFileVersionString(dir_.Append(L"missing.exe")));
  EXPECT_THAT(Log(), HasSubstr("INFO: No version information in file: "));
}

// The shared reader says what is missing and leaves the words to its
// callers: it logs nothing itself.
TEST_F(FileVersionTest, FixedFileInfoReportsWhatIsMissingWithoutLogging) {
  FixedFileInfo info;
  const std::wstring exe = test::ExecutableDir() + L"\\lite_installer.exe";
  ASSERT_EQ(FixedFileInfoStatus::kOk, ReadFixedFileInfo(exe, &info));
  EXPECT_EQ(LITE_PRODUCT_VERSION, FormatFileVersion(info.file_version));
  EXPECT_EQ(info.file_version, info.product_version);

  const std::wstring text_file = dir_.Append(L"plain.txt");
  ASSERT_TRUE(test::WriteStringToFile(text_file, "not a program"));
  EXPECT_EQ(FixedFileInfoStatus::kNoVersionResource,
            ReadFixedFileInfo(text_file, &info));
  EXPECT_EQ(FixedFileInfoStatus::kNoVersionResource,
            ReadFixedFileInfo(dir_.Append(L"missing.exe"), &info));
  EXPECT_EQ("", Log());
}

TEST(FileVersionFormatTest, FourSixteenBitPartsInOrder) {
  EXPECT_EQ("1.2.3.4", FormatFileVersion(0x0001000200030004ull));
  EXPECT_EQ("65535.0.65535.0", FormatFileVersion(0xFFFF0000FFFF0000ull));
  EXPECT_EQ("0.0.0.0", FormatFileVersion(0));
}

}  // namespace
}  // namespace installer
