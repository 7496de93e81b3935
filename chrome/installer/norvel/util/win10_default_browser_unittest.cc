#include "chrome/installer/norvel/util/win10_default_browser.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/scoped_handle.h"
#include "chrome/installer/norvel/util/application_association_registration_internal.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/fake_system_facts.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_command_line.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace installer::win10_default_browser {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// What this test binary does when started as the check copy: the answer
// ("700", "701", "5", "crash", "hang"; unset: the real probe), and the file
// to which each start appends its process id.
constexpr wchar_t kAnswerVariable[] = L"LITE_TEST_INTERFACE_CHECK_ANSWER";
constexpr wchar_t kStartsVariable[] = L"LITE_TEST_INTERFACE_CHECK_STARTS";

constexpr char kCheckFunction[] =
    "installer::win10_default_browser::(anonymous "
    "namespace)::IsInternalInterfaceAvailableSafeCheck";
constexpr wchar_t kCurrentVersionKey[] =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

std::wstring GetEnv(const wchar_t* name) {
  wchar_t value[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
  return length && length < MAX_PATH ? std::wstring(value, length)
                                     : std::wstring();
}

void RecordStart() {
  const std::wstring path = GetEnv(kStartsVariable);
  if (path.empty())
    return;
  base::ScopedFileHandle file(
      ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  const std::string line = std::to_string(::GetCurrentProcessId()) + "\n";
  DWORD written = 0;
  ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()),
              &written, nullptr);
}

LONG WINAPI EndTheProcess(EXCEPTION_POINTERS*) {
  return EXCEPTION_EXECUTE_HANDLER;
}

LITE_PRODUCT_SWITCH_MAIN(check_the_interface, kCheckTheInterfaceSwitch) {
  RecordStart();
  const std::wstring answer = GetEnv(kAnswerVariable);
  if (answer == L"crash") {
    // Ends at once with the fault's code, as under a crash reporter: Wine's
    // default is to start its debugger, which outlasts the wait.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    ::SetUnhandledExceptionFilter(&EndTheProcess);
    // An address the compiler cannot see is null: a real access violation.
    volatile uintptr_t address = 0;
    *reinterpret_cast<volatile int*>(address) = 1;
  }
  if (answer == L"hang") {
    ::Sleep(60000);
    return 5;
  }
  if (!answer.empty())
    return _wtoi(answer.c_str());
  return CheckInternalInterface() ? kCheckExitInterfaceUsable
                                  : kCheckExitInterfaceNotUsable;
}

// Opens the first check copy as soon as it has started, and optionally ends
// it the way another program would.
class CopyWatcher {
 public:
  CopyWatcher(std::wstring starts_file, std::optional<DWORD> terminate_with)
      : thread_([this, starts_file, terminate_with] {
          for (int i = 0; i < 250 && !process_; ++i) {
            const std::string text = test::ReadFile(starts_file);
            if (text.ends_with("\n")) {  // a whole line
              process_.reset(::OpenProcess(
                  SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION |
                      PROCESS_TERMINATE,
                  FALSE, std::strtoul(text.c_str(), nullptr, 10)));
            } else {
              ::Sleep(20);
            }
          }
          if (process_ && terminate_with)
            ::TerminateProcess(process_.get(), *terminate_with);
        }) {}
  ~CopyWatcher() { Join(); }

  void Join() {
    if (thread_.joinable())
      thread_.join();
  }
  HANDLE process() const { return process_.get(); }

 private:
  base::ScopedKernelHandle process_;
  std::thread thread_;
};

class CanSetDefaultBrowserTest : public test::TestWithLog {
 protected:
  void SetUp() override { ASSERT_TRUE(registry_.ok()); }

  void SetAnswer(const wchar_t* answer) {
    answer_.reset();
    answer_.emplace(kAnswerVariable, answer);
  }
  void SetUpdateRevision(std::optional<DWORD> revision) {
    ::RegDeleteKeyValueW(registry_.local_machine_root(), kCurrentVersionKey,
                         L"UBR");
    if (revision) {
      ASSERT_TRUE(test::WriteRegistryValue(registry_.local_machine_root(),
                                           kCurrentVersionKey, L"UBR",
                                           *revision));
    }
  }
  // Process ids of the check copies started so far.
  std::vector<std::string> Starts() const {
    return test::SplitLines(test::ReadFile(starts_file_));
  }
  void ForgetStarts() { ::DeleteFileW(starts_file_.c_str()); }
  // "LEVEL: text" of each line the parent's check logged.
  std::vector<std::string> CheckLines() const {
    std::vector<std::string> lines;
    for (const test::LogEntry& entry : log_.Entries()) {
      if (entry.function == kCheckFunction)
        lines.push_back(entry.message);
    }
    return lines;
  }

  test::FakeSystemFacts facts_;
  test::ScopedRegistryOverride registry_{
      test::ScopedRegistryOverride::kLocalMachine};
  test::ScopedTempDir dir_;
  const std::wstring starts_file_ = dir_.Append(L"starts.txt");
  test::ScopedEnvironmentVariable starts_variable_{kStartsVariable,
                                                   starts_file_.c_str()};
  std::optional<test::ScopedEnvironmentVariable> answer_;
};

TEST_F(CanSetDefaultBrowserTest, KnownSafeBuilds) {
  const struct {
    DWORD build;
    std::optional<DWORD> revision;
    bool safe;
  } kCases[] = {
      {17703, std::nullopt, false}, {17704, std::nullopt, true},
      {16299, 5000, false},         {22000, std::nullopt, true},
      {17134, 318, false},          {17134, 319, true},
      {17134, std::nullopt, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE("build " + std::to_string(c.build) + " revision " +
                 (c.revision ? std::to_string(*c.revision) : "none"));
    facts_.SetWindowsVersion(10, 0, c.build);
    SetUpdateRevision(c.revision);
    EXPECT_EQ(c.safe, IsKnownSafeWindowsBuild());
  }

  // A revision stored as text is no revision.
  facts_.SetWindowsVersion(10, 0, 17134);
  SetUpdateRevision(std::nullopt);
  ASSERT_TRUE(test::WriteRegistryValue(registry_.local_machine_root(),
                                       kCurrentVersionKey, L"UBR",
                                       std::wstring(L"400")));
  EXPECT_FALSE(IsKnownSafeWindowsBuild());
}

TEST_F(CanSetDefaultBrowserTest, AsksACopyOnlyOnWindows10BuildsInDoubt) {
  // Each copy would answer the opposite of the expected result, except on
  // the builds where its answer is wanted.
  const struct {
    DWORD major, minor, build;
    const wchar_t* copy_answer;
    bool can;
    size_t copies;
  } kCases[] = {
      {6, 1, 7601, L"701", true, 0},    // Windows 7
      {6, 2, 9200, L"700", false, 0},   // Windows 8
      {6, 3, 9600, L"700", false, 0},   // Windows 8.1
      {10, 0, 18362, L"701", true, 0},  // a safe Windows 10 build
      {10, 0, 22000, L"701", true, 0},  // Windows 11
      {10, 0, 16299, L"700", true, 1},  // in doubt: the copy decides
      {10, 0, 16299, L"701", false, 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor) + "." +
                 std::to_string(c.build));
    facts_.SetWindowsVersion(c.major, c.minor, c.build);
    SetAnswer(c.copy_answer);
    ForgetStarts();
    EXPECT_EQ(c.can, CanSetDefaultBrowser());
    EXPECT_EQ(c.copies, Starts().size());
  }
}

TEST_F(CanSetDefaultBrowserTest, ReadsTheCopysExitCode) {
  facts_.SetWindowsVersion(10, 0, 16299);
  const struct {
    const wchar_t* answer;  // null: the real probe, which fails under Wine
    bool can;
    const char* line;
  } kCases[] = {
      {L"700", true,
       "INFO: Successfuly checked Win10 internal interface availability: "
       "availability: 1"},
      {L"701", false,
       "INFO: Successfuly checked Win10 internal interface availability: "
       "availability: 0"},
      {nullptr, false,
       "INFO: Successfuly checked Win10 internal interface availability: "
       "availability: 0"},
      {L"5", false,
       "ERROR: Failed to check Win10 internal interface availability, "
       "unknown ret code: 5 - "},
      {L"crash", false,
       "ERROR: Failed to check Win10 internal interface availability, ret "
       "code: -1073741819, installer crashed - "},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.answer ? c.answer : L"real probe");
    SetAnswer(c.answer);
    ForgetStarts();
    log_.Clear();

    EXPECT_EQ(c.can, CanSetDefaultBrowser());

    const std::vector<std::string> lines = CheckLines();
    ASSERT_EQ(1u, lines.size()) << log_.Read();
    EXPECT_TRUE(lines[0].starts_with(c.line)) << lines[0];
    EXPECT_EQ(1u, Starts().size());
  }
}

TEST_F(CanSetDefaultBrowserTest, HangingCopyIsEndedAfterTheWait) {
  facts_.SetWindowsVersion(10, 0, 16299);
  SetAnswer(L"hang");
  CopyWatcher watcher(starts_file_, std::nullopt);
  const ULONGLONG start = ::GetTickCount64();

  EXPECT_FALSE(CanSetDefaultBrowser());

  const ULONGLONG waited = ::GetTickCount64() - start;
  EXPECT_GE(waited, kCheckTimeoutMs - 100);
  EXPECT_LT(waited, kCheckTimeoutMs + 2000);
  const std::vector<std::string> lines = CheckLines();
  ASSERT_EQ(1u, lines.size()) << log_.Read();
  EXPECT_TRUE(lines[0].starts_with(
      "ERROR: Failed to check Win10 internal interface availability,  "
      "installer was terminated by timeout."))
      << lines[0];
  watcher.Join();
  ASSERT_TRUE(watcher.process());
  ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(watcher.process(), 2000));
  DWORD exit_code = 0;
  ASSERT_TRUE(::GetExitCodeProcess(watcher.process(), &exit_code));
  EXPECT_EQ(static_cast<DWORD>(kCheckExitTerminated), exit_code);
}

TEST_F(CanSetDefaultBrowserTest, CopyEndedBySomeoneElseIsAFailure) {
  facts_.SetWindowsVersion(10, 0, 16299);
  SetAnswer(L"hang");
  CopyWatcher watcher(starts_file_, 1);
  const ULONGLONG start = ::GetTickCount64();

  EXPECT_FALSE(CanSetDefaultBrowser());

  EXPECT_LT(::GetTickCount64() - start, kCheckTimeoutMs - 100);
  const std::vector<std::string> lines = CheckLines();
  ASSERT_EQ(1u, lines.size()) << log_.Read();
  EXPECT_TRUE(lines[0].starts_with(
      "ERROR: Failed to check Win10 internal interface availability, "
      "unknown ret code: 1 - "))
      << lines[0];
}

// The copy is this program's own file, whatever the command line's first
// token says: here the setup program, or a relative name without ".exe".
TEST_F(CanSetDefaultBrowserTest, CopyIsThisProgramWhateverTheCommandLineSays) {
  facts_.SetWindowsVersion(10, 0, 16299);
  SetAnswer(L"700");
  const std::wstring setup = dir_.Append(L"setup.exe");
  ASSERT_TRUE(::CopyFileW((test::ExecutableDir() + L"\\fake_setup.exe").c_str(),
                          setup.c_str(), FALSE));
  for (const std::wstring& first_token :
       {L"\"" + setup + L"\"", std::wstring(L"norvel_util_unittests")}) {
    SCOPED_TRACE(std::string(first_token.begin(), first_token.end()));
    test::ScopedCommandLine command_line(first_token + L" --silent");
    ForgetStarts();
    log_.Clear();

    EXPECT_TRUE(CanSetDefaultBrowser());

    EXPECT_EQ(1u, Starts().size());
    EXPECT_FALSE(test::PathExists(dir_.Append(L"fake_setup_report.json")));
    EXPECT_THAT(log_.Read(), Not(HasSubstr("can't get installer exe path")));
  }
}

}  // namespace
}  // namespace installer::win10_default_browser
