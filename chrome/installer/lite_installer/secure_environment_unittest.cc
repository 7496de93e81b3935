#include "chrome/installer/lite_installer/secure_environment.h"

#include <windows.h>

#include <string>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/fake_system_facts.h"
#include "test/support/pending_renames.h"
#include "test/support/scoped_command_line.h"
#include "test/support/test_support.h"

namespace lite_installer {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// The names in `folder` ("." and ".." left out), directories with a
// trailing backslash.
std::vector<std::wstring> ListFolder(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE)
    return names;
  do {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..")
      continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      name += L"\\";
    names.push_back(name);
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
  return names;
}

std::wstring Utf16(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

// The relaunched copy: this test binary, started from its fresh directory.
// It writes where it runs from, what lies beside it, its current directory
// and its command line to LITE_TEST_COPY_REPORT, one a line, and exits with
// LITE_TEST_COPY_EXIT.
LITE_CHILD_MAIN(RelaunchedCopy) {
  wchar_t program[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring folder(program, length);
  folder.resize(folder.find_last_of(L'\\'));
  wchar_t current[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, current);
  std::wstring beside;
  for (const std::wstring& name : ListFolder(folder))
    beside += name + L" ";
  const std::wstring report = folder + L"\n" + beside + L"\n" + current +
                              L"\n" + ::GetCommandLineW() + L"\n";
  wchar_t path[MAX_PATH];
  ::GetEnvironmentVariableW(L"LITE_TEST_COPY_REPORT", path, MAX_PATH);
  test::WriteStringToFile(path, std::string(report.begin(), report.end()));
  wchar_t code[16] = L"0";
  ::GetEnvironmentVariableW(L"LITE_TEST_COPY_EXIT", code, 16);
  return _wtoi(code);
}

class RelaunchTest : public testing::Test {
 protected:
  // Relaunches `program` (this test binary by default) as the copy above.
  SecureEnvironmentResult Relaunch(int copy_exit_code,
                                   std::wstring program = std::wstring()) {
    if (program.empty()) {
      wchar_t self[MAX_PATH];
      program.assign(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
    }
    test::ScopedEnvironmentVariable exit_code(
        L"LITE_TEST_COPY_EXIT", std::to_wstring(copy_exit_code).c_str());
    base::CommandLine command_line =
        base::CommandLine::FromString(L"\"" + program +
                                      L"\" --lite-test-child=RelaunchedCopy "
                                      L"--silent");
    exit_code_ = 12345;
    return RelaunchFromProtectedDirectory(program, command_line, &exit_code_);
  }
  std::vector<std::string> CopyReport() const {
    return test::SplitLines(test::ReadFile(report_.Append(L"copy.txt")));
  }

  test::ScopedTempDir report_;
  // The copy's directory is made in the temporary folder, here temp_.
  test::ScopedTempDir temp_;
  test::ScopedTempPathOverride tmp_{temp_.path()};
  test::ScopedEnvironmentVariable report_path_{
      L"LITE_TEST_COPY_REPORT", report_.Append(L"copy.txt").c_str()};
  test::ScopedPendingRenames pending_renames_;
  int exit_code_ = 0;
};

TEST_F(RelaunchTest, CopyRunsAloneInAFreshDirectoryAndHandsBackItsExitCode) {
  EXPECT_EQ(SecureEnvironmentResult::kDelegatedToCopy, Relaunch(1234));
  EXPECT_EQ(1234, exit_code_);

  const std::vector<std::string> report = CopyReport();
  ASSERT_EQ(4u, report.size());
  const std::wstring copy_folder = Utf16(report[0]);
  // A new directory right in the temporary folder, holding only the
  // program, which is also the copy's current directory.
  EXPECT_EQ(temp_.path(), copy_folder.substr(0, copy_folder.rfind(L'\\')));
  EXPECT_EQ("lite_installer_unittests.exe ", report[1]);
  EXPECT_EQ(report[0], report[2]);
  // The parent's command line with the copy's program and the marker.
  EXPECT_EQ("\"" + report[0] +
                "\\lite_installer_unittests.exe\" "
                "--lite-test-child=RelaunchedCopy --silent "
                "--spawned_in_protected_dir",
            report[3]);

  // The directory is gone; both are still named for deletion at the next
  // reboot, in case something had held them.
  EXPECT_THAT(ListFolder(temp_.path()), IsEmpty());
  EXPECT_TRUE(pending_renames_.HoldsDeletionOf(
      copy_folder + L"\\lite_installer_unittests.exe"));
  EXPECT_TRUE(pending_renames_.HoldsDeletionOf(copy_folder));
}

TEST_F(RelaunchTest, CopyThatFoundDllsMakesTheParentExitWithMinus200) {
  EXPECT_EQ(SecureEnvironmentResult::kInsecure, Relaunch(-200));
  EXPECT_EQ(-200, exit_code_);
  EXPECT_THAT(ListFolder(temp_.path()), IsEmpty());
}

TEST_F(RelaunchTest, CopyThatCannotBePreparedOrStartedLeavesNothing) {
  // No program path, a program that does not exist, and one that is no
  // program at all.
  const std::wstring not_a_program = report_.Append(L"not_a_program.exe");
  ASSERT_TRUE(test::WriteStringToFile(not_a_program, "plain text"));
  for (const std::wstring& program :
       {report_.Append(L"missing.exe"), not_a_program}) {
    EXPECT_EQ(SecureEnvironmentResult::kCantFindSecure, Relaunch(0, program));
    EXPECT_EQ(12345, exit_code_) << "untouched";
    EXPECT_THAT(ListFolder(temp_.path()), IsEmpty());
  }
  base::CommandLine command_line;
  EXPECT_EQ(SecureEnvironmentResult::kCantFindSecure,
            RelaunchFromProtectedDirectory(L"", command_line, &exit_code_));

  // A temporary folder that does not exist.
  test::ScopedTempPathOverride gone(temp_.Append(L"gone"));
  EXPECT_EQ(SecureEnvironmentResult::kCantFindSecure, Relaunch(0));
  EXPECT_TRUE(CopyReport().empty()) << "the copy never ran";
}

TEST(HasDllFilesInTest, CountsOnlyFilesDirectlyInTheFolder) {
  test::ScopedTempDir folder;
  EXPECT_FALSE(HasDllFilesIn(folder.path()));
  // A directory named like a DLL, a DLL in a sub-folder and a name that
  // only contains ".dll" do not count.
  ASSERT_TRUE(::CreateDirectoryW(folder.Append(L"z.dll").c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW(folder.Append(L"sub").c_str(), nullptr));
  ASSERT_TRUE(test::WriteStringToFile(folder.Append(L"sub\\a.dll"), "x"));
  ASSERT_TRUE(test::WriteStringToFile(folder.Append(L"a.dll.txt"), "x"));
  EXPECT_FALSE(HasDllFilesIn(folder.path()));
  ASSERT_TRUE(test::WriteStringToFile(folder.Append(L"X.DLL"), "x"));
  EXPECT_TRUE(HasDllFilesIn(folder.path()));
  EXPECT_FALSE(HasDllFilesIn(folder.Append(L"missing")));
}

TEST(EnsureSecureEnvironmentTest, RestrictsTheSearchPathWhereWindowsCan) {
  // Wine has both functions: nothing is relaunched, whatever lies beside
  // the program.
  int exit_code = 7;
  EXPECT_EQ(SecureEnvironmentResult::kSecure,
            EnsureSecureEnvironment(&exit_code));
  EXPECT_EQ(0, exit_code);
}

TEST(EnsureSecureEnvironmentTest, ElevatedOrRelaunchedCopyChecksItsFolder) {
  // Without the safe search functions a copy that must not relaunch looks
  // beside itself. This test binary's folder holds the build's programs and
  // no DLL.
  test::FakeSystemFacts facts;
  facts.SetKernel32FunctionMissing("SetDefaultDllDirectories");
  ASSERT_FALSE(HasDllFilesIn(test::ExecutableDir()));
  for (const wchar_t* marker :
       {L"--run-as-admin", L"--spawned_in_protected_dir"}) {
    test::ScopedCommandLine command_line(std::wstring(L"x.exe ") + marker);
    int exit_code = 7;
    EXPECT_EQ(SecureEnvironmentResult::kSecure,
              EnsureSecureEnvironment(&exit_code))
        << marker;
    EXPECT_EQ(0, exit_code);
  }
}

}  // namespace
}  // namespace lite_installer
