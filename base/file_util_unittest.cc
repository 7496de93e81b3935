#include "base/file_util.h"

#include <windows.h>

#include <string>

#include "base/scoped_handle.h"
#include "gtest/gtest.h"
#include "test/support/test_support.h"

namespace base {
namespace {

class FileUtilTest : public ::testing::Test {
 protected:
  test::ScopedTempDir dir_;
  const std::wstring path_ = dir_.Append(L"file.bin");
};

TEST_F(FileUtilTest, WritesAndReadsBackEveryByte) {
  const std::string bytes("a\0b\r\n\xff", 6);
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), WriteFileContents(path_, bytes));
  FileReadResult read = ReadFileContents(path_, 6);
  EXPECT_TRUE(read.ok());
  EXPECT_EQ(bytes, read.bytes);
  EXPECT_EQ(6u, read.size);
  EXPECT_EQ(6u, GetReadableFileSize(path_));

  // A rewrite truncates: nothing of the longer content survives.
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), WriteFileContents(path_, "z"));
  EXPECT_EQ("z", ReadFileContents(path_, 6).bytes);
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), WriteFileContents(path_, ""));
  read = ReadFileContents(path_, 0);
  EXPECT_TRUE(read.ok());
  EXPECT_EQ("", read.bytes);
}

TEST_F(FileUtilTest, FailuresNameTheStepAndTheSystemError) {
  const std::wstring missing = dir_.Append(L"missing");
  FileReadResult read = ReadFileContents(missing, 10);
  EXPECT_EQ(FileReadStep::kOpen, read.failed_step);
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), read.error);
  EXPECT_EQ(std::nullopt, GetReadableFileSize(missing));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND),
            WriteFileContents(dir_.Append(L"no\\such\\dir"), "x"));

  // Above the limit nothing is read, and the size says by how much.
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), WriteFileContents(path_, "abc"));
  read = ReadFileContents(path_, 2);
  EXPECT_EQ(FileReadStep::kTooLarge, read.failed_step);
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_TOO_LARGE), read.error);
  EXPECT_EQ(3u, read.size);
  EXPECT_EQ("", read.bytes);
  EXPECT_TRUE(ReadFileContents(path_, 3).ok());
}

TEST_F(FileUtilTest, ShareModeDecidesWhetherAWriterBlocksTheRead) {
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), WriteFileContents(path_, "id"));
  ScopedFileHandle writer(::CreateFileW(
      path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer.is_valid());
  FileReadResult read = ReadFileContents(path_, 10);
  EXPECT_EQ(FileReadStep::kOpen, read.failed_step);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), read.error);
  EXPECT_EQ(
      "id",
      ReadFileContents(path_, 10, FILE_SHARE_READ | FILE_SHARE_WRITE).bytes);
  // Nobody may write while the file is being rewritten.
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION),
            WriteFileContents(path_, "x"));
}

}  // namespace
}  // namespace base
