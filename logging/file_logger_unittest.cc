#include "logging/file_logger.h"

#include <windows.h>

#include <memory>
#include <string>
#include <thread>

#include "base/scoped_handle.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/matchers.h"
#include "test/support/test_support.h"

namespace broupdater {
namespace {

using ::test::ContainsPattern;
using ::test::FullyMatches;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr char kHeaderPattern[] =
    "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} "
    "[0-9]{2,}:[0-9]{2,} ";

// Installs a logger writing into a scratch directory; removes it afterwards.
class FileLoggerTest : public testing::Test {
 protected:
  void SetUp() override {
    log_path_ = dir_.Append(L"lite_installer.log");
    old_path_ = dir_.Append(L"lite_installer_old.log");
  }
  void TearDown() override { SetFileLogger(nullptr); }

  void Install(uint32_t max_size = kLogFileMaxSize) {
    SetFileLogger(std::make_unique<FileLogger>(log_path_, max_size));
  }
  std::vector<std::string> Lines() {
    return test::SplitLines(test::ReadFile(log_path_));
  }
  uint64_t Size(const std::wstring& path) {
    return test::ReadFile(path).size();
  }

  test::ScopedTempDir dir_;
  std::wstring log_path_;
  std::wstring old_path_;
};

TEST_F(FileLoggerTest, StatementsBeforeInstallationAreLost) {
  LOG(INFO) << "lost";
  EXPECT_FALSE(test::PathExists(log_path_));
  Install();
  LOG(INFO) << "kept";
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_THAT(lines[0], HasSubstr("kept"));
}

TEST_F(FileLoggerTest, EntryLayout) {
  Install();
  const int line = __LINE__ + 1;
  LOG(INFO) << "Lite installer mode. " << 42 << ' ' << -7 << L" wide \u00e9";
  LOG(WARNING) << "careful " << 3u;
  LOG(ERROR) << "bad";
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(3u, lines.size());
  EXPECT_THAT(lines[0],
              FullyMatches(std::string(kHeaderPattern) +
                           "INFO: Lite installer mode\\. 42 -7 wide \xC3\xA9 "
                           "\\(virtual broupdater::\\(anonymous namespace\\)::"
                           "FileLoggerTest_EntryLayout_Test::TestBody:" +
                           std::to_string(line) + "\\)"));
  EXPECT_THAT(lines[1], ContainsPattern(" WARNING: careful 3 \\("));
  EXPECT_THAT(lines[2], ContainsPattern(" ERROR: bad \\("));
  // Process and thread ids are ours.
  EXPECT_THAT(lines[0],
              HasSubstr(" " + std::to_string(::GetCurrentProcessId()) + ":" +
                        std::to_string(::GetCurrentThreadId()) + " "));
  EXPECT_EQ('\n', test::ReadFile(log_path_).back());
}

TEST_F(FileLoggerTest, ErrorVariantAppendsSystemErrorDescription) {
  Install();
  ::SetLastError(ERROR_ACCESS_DENIED);
  PLOG(ERROR) << "Can't create directory: " << L"C:\\x";
  ::SetLastError(ERROR_ACCESS_DENIED);
  PLOG(ERROR);
  PLOG_CODE(WARNING, 0x2BADBEEF) << "odd";
  std::string expected_description = DescribeSystemError(ERROR_ACCESS_DENIED);
  EXPECT_THAT(expected_description, StartsWith("5, "));
  EXPECT_EQ('\n', expected_description.back());

  std::string contents = test::ReadFile(log_path_);
  EXPECT_THAT(contents, HasSubstr("ERROR: Can't create directory: C:\\x - " +
                                  expected_description + " ("));
  EXPECT_THAT(contents, HasSubstr("ERROR: " + expected_description + " ("));
  EXPECT_THAT(contents,
              HasSubstr("WARNING: odd - 732806895, unknown error 0x2badbeef\n"
                        " ("));
}

TEST_F(FileLoggerTest, LoggingKeepsTheCallersLastError) {
  Install();
  ::SetLastError(ERROR_FILE_NOT_FOUND);
  LOG(INFO) << "x";
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());
}

TEST_F(FileLoggerTest, DescribeSystemErrorFallsBackToWinInetMessages) {
  // 12002 (ERROR_INTERNET_TIMEOUT) is not in the system message table.
  HMODULE wininet = ::LoadLibraryW(L"wininet.dll");
  ASSERT_TRUE(wininet);
  std::string text = DescribeSystemError(12002);
  EXPECT_THAT(text, StartsWith("12002, "));
  EXPECT_THAT(text, Not(HasSubstr("unknown error")));
  ::FreeLibrary(wininet);
}

TEST_F(FileLoggerTest, RotatesExactlyAtTheLimit) {
  // The first entry fixes the header length; the second entry is sized so
  // that file + header + text is one byte short of the limit, the third so
  // that it reaches the limit exactly.
  Install(1u << 20);
  LOG(INFO) << "first";
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(1u, lines.size());
  const uint64_t header = lines[0].find("INFO: ");
  ASSERT_NE(std::string::npos, header);

  const uint64_t size1 = Size(log_path_);
  const uint32_t limit = static_cast<uint32_t>(size1 + header + 100 + 1);
  Install(limit);
  LOG(INFO) << std::string(100, 'a');  // size1 + header + 100 = limit - 1
  EXPECT_FALSE(test::PathExists(old_path_));
  const uint64_t size2 = Size(log_path_);
  EXPECT_GT(size2, limit);  // the appended line itself may pass the limit

  Install(static_cast<uint32_t>(size2 + header + 50));
  LOG(INFO) << std::string(50, 'b');  // reaches the limit exactly
  EXPECT_EQ(size2, Size(old_path_));
  lines = Lines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_THAT(lines[0], HasSubstr("INFO: " + std::string(50, 'b')));

  // A further rotation replaces the existing old file.
  Install(1);
  LOG(INFO) << "c";
  EXPECT_THAT(test::ReadFile(old_path_), HasSubstr(std::string(50, 'b')));
  EXPECT_THAT(test::ReadFile(old_path_), Not(HasSubstr("first")));
}

TEST_F(FileLoggerTest, FailedRotationIsReportedOnceAndSwitchedOff) {
  Install(1u << 20);
  LOG(INFO) << "before";
  ASSERT_TRUE(test::WriteStringToFile(old_path_, "old\n"));
  // Another program holds the old file without sharing: neither replace nor
  // move can succeed.
  base::ScopedFileHandle lock(::CreateFileW(
      old_path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock.is_valid());

  Install(1);
  LOG(INFO) << "after";
  LOG(INFO) << "again";
  lock.reset();
  LOG(INFO) << "unlocked";

  std::vector<std::string> lines = Lines();
  ASSERT_EQ(5u, lines.size());
  EXPECT_THAT(lines[0], HasSubstr("INFO: before"));
  const std::string utf8_path(log_path_.begin(), log_path_.end());
  EXPECT_THAT(lines[1],
              FullyMatches(std::string(kHeaderPattern) +
                           "LOGGING: Failed to rotate log file .*: -[0-9]+"));
  EXPECT_THAT(lines[1], HasSubstr(utf8_path + ": -"));
  EXPECT_THAT(lines[2], HasSubstr("INFO: after"));
  EXPECT_THAT(lines[3], HasSubstr("INFO: again"));
  EXPECT_THAT(lines[4], HasSubstr("INFO: unlocked"));
  EXPECT_EQ("old\n", test::ReadFile(old_path_));
}

TEST_F(FileLoggerTest, LockTimeOutIsNoticedOnce) {
  Install();
  const std::wstring name = FileLogger::MutexNameForPath(log_path_);
  HANDLE held = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([&] {
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, name.c_str());
    ::SetEvent(held);
    ::WaitForSingleObject(release, 10000);
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
  });
  ::WaitForSingleObject(held, 10000);
  LOG(INFO) << "one";
  LOG(INFO) << "two";
  ::SetEvent(release);
  holder.join();
  LOG(INFO) << "three";
  ::CloseHandle(held);
  ::CloseHandle(release);

  std::vector<std::string> lines = Lines();
  ASSERT_EQ(4u, lines.size());
  EXPECT_THAT(
      lines[0],
      FullyMatches(std::string(kHeaderPattern) +
                   "LOGGING: Failed to lock log file .*lite_installer\\.log"));
  EXPECT_THAT(lines[1], HasSubstr("INFO: one"));
  EXPECT_THAT(lines[2], HasSubstr("INFO: two"));
  EXPECT_THAT(lines[3], HasSubstr("INFO: three"));
}

TEST_F(FileLoggerTest, AbandonedMutexIsNoticedEachTime) {
  Install();
  const std::wstring name = FileLogger::MutexNameForPath(log_path_);
  // The handles stay open so that the object outlives its owning thread.
  std::vector<base::ScopedKernelHandle> handles;
  auto abandon = [&] {
    std::thread([&] {
      HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
      ::WaitForSingleObject(mutex, 10000);
      handles.emplace_back(mutex);  // the thread ends owning it
    }).join();
  };
  abandon();
  LOG(INFO) << "one";
  LOG(INFO) << "two";
  abandon();
  LOG(INFO) << "three";

  std::vector<std::string> lines = Lines();
  ASSERT_EQ(5u, lines.size());
  EXPECT_THAT(lines[0], FullyMatches(std::string(kHeaderPattern) +
                                     "LOGGING: Abandoned log mutex recovered "
                                     "for file .*lite_installer\\.log"));
  EXPECT_THAT(lines[1], HasSubstr("INFO: one"));
  EXPECT_THAT(lines[2], HasSubstr("INFO: two"));
  EXPECT_THAT(lines[3], HasSubstr("LOGGING: Abandoned log mutex"));
  EXPECT_THAT(lines[4], HasSubstr("INFO: three"));
}

TEST_F(FileLoggerTest, CreatesMissingDirectories) {
  log_path_ = dir_.Append(L"a\\b\\c\\lite_installer.log");
  Install();
  LOG(INFO) << "deep";
  EXPECT_THAT(test::ReadFile(log_path_), HasSubstr("INFO: deep"));
}

TEST(FileLoggerNamesTest, MutexAndRotatedNames) {
  EXPECT_EQ(L"broupdater log 81f5b877c74f05b05250100e955b9d44",
            FileLogger::MutexNameForPath(L"C:\\logs\\lite_installer.log"));
  // The digest is over the UTF-8 bytes of the path, without case folding.
  EXPECT_EQ(L"broupdater log 3b7e5914ae8753ed61b28e64e3b13e1c",
            FileLogger::MutexNameForPath(
                L"C:\\Users\\\u00c9mile\\lite_installer.log"));
  EXPECT_EQ(L"C:\\t\\lite_installer_old.log",
            FileLogger::RotatedPath(L"C:\\t\\lite_installer.log"));
  EXPECT_EQ(L"C:\\t.d\\log_old", FileLogger::RotatedPath(L"C:\\t.d\\log"));
}

TEST(FileLoggerNamesTest, FileErrorCodes) {
  EXPECT_EQ(-2, FileLogger::FileErrorFromSystemError(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(-2, FileLogger::FileErrorFromSystemError(1177));
  EXPECT_EQ(-3, FileLogger::FileErrorFromSystemError(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(-4, FileLogger::FileErrorFromSystemError(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(-5, FileLogger::FileErrorFromSystemError(ERROR_LOCK_VIOLATION));
  EXPECT_EQ(-8, FileLogger::FileErrorFromSystemError(314));
  EXPECT_EQ(-10, FileLogger::FileErrorFromSystemError(1224));
  EXPECT_EQ(-16, FileLogger::FileErrorFromSystemError(1393));
  EXPECT_EQ(-1, FileLogger::FileErrorFromSystemError(ERROR_INVALID_PARAMETER));
}

TEST(FileLoggerPathTest, LogFileLivesInTheTemporaryDirectory) {
  test::ScopedTempDir dir;
  test::ScopedTempPathOverride tmp(dir.path());
  EXPECT_EQ(dir.path() + L"\\lite_installer.log", GetLogFilePath());
}

// Writes `count` entries to the log named by args[0].
LITE_CHILD_MAIN(WriteEntries) {
  SetFileLogger(std::make_unique<FileLogger>(args.at(0), kLogFileMaxSize));
  int count = std::stoi(args.at(1));
  for (int i = 0; i < count; ++i)
    LOG(INFO) << "entry " << i << " " << std::string(200, 'x');
  return 0;
}

TEST_F(FileLoggerTest, ConcurrentProcessesNeverInterleaveEntries) {
  constexpr int kEntries = 150;
  std::wstring args = L"\"" + log_path_ + L"\" " + std::to_wstring(kEntries);
  test::ChildProcess a = test::StartChild("WriteEntries", args);
  test::ChildProcess b = test::StartChild("WriteEntries", args);
  ASSERT_TRUE(a.Wait(60000));
  ASSERT_TRUE(b.Wait(60000));
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(2u * kEntries, lines.size());
  for (const std::string& line : lines) {
    EXPECT_THAT(line, FullyMatches(std::string(kHeaderPattern) +
                                   "INFO: entry [0-9]+ x{200} \\(.*\\)"));
  }
}

// ctest runs this binary with TZ=Asia/Kathmandu (UTC+5:45), so local time
// and UTC differ in hour and minute.
TEST_F(FileLoggerTest, TimestampsAreUtc) {
  Install();
  SYSTEMTIME before, local;
  ::GetSystemTime(&before);
  ::GetLocalTime(&local);
  LOG(INFO) << "zoned";
  SYSTEMTIME after;
  ::GetSystemTime(&after);
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(1u, lines.size());
  int hour = std::stoi(lines[0].substr(11, 2));
  int minute = std::stoi(lines[0].substr(14, 2));
  int stamp = hour * 60 + minute;
  EXPECT_TRUE(stamp == before.wHour * 60 + before.wMinute ||
              stamp == after.wHour * 60 + after.wMinute)
      << lines[0];
  if (local.wHour == before.wHour && local.wMinute == before.wMinute)
    GTEST_SKIP() << "local time equals UTC here; run with TZ set to check";
}

}  // namespace
}  // namespace broupdater
