// The DLL search-path hardening and the delay-load failures, seen from
// outside: DLLs planted beside the real installer, the relaunch from a fresh
// directory on a Windows without the safe search functions (pretended by
// lite_installer_local.exe's test trigger), and the message box, trap and
// crash report when a delay-loaded function cannot be bound.

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/e2e/e2e_support.h"
#include "test/support/minidump_file.h"
#include "test/support/pending_renames.h"
#include "test/support/screen_capture.h"
#include "test/support/test_support.h"
#include "test/support/wine_dll_overrides.h"

namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAreArray;

constexpr wchar_t kInstaller[] = L"lite_installer_local.exe";
constexpr DWORD kBreakpointExit = 0x80000003;

// System libraries that are no KnownDLLs, so the loader would take a copy
// beside the program: among them oleacc.dll, which must be delay-loaded too.
const std::vector<std::wstring> kPlantedNames = {
    L"version", L"oleacc",   L"dbghelp",  L"wininet", L"winhttp",
    L"crypt32", L"wintrust", L"comctl32", L"gdiplus", L"uxtheme",
    L"msimg32", L"userenv",  L"winmm"};

std::vector<std::wstring> FilesIn(const std::wstring& folder,
                                  const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE find = ::FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE)
    return names;
  do {
    names.push_back(found.cFileName);
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
  return names;
}

// Copies of the installer (and of the probe) with the planting fixtures
// (bin\planted\NAME.dll, which drop NAME.dll.loaded beside themselves when
// loaded) in a download folder of their own.
class PlantedDllTest : public e2e::LocalInstallTest {
 protected:
  void Plant(const std::vector<std::wstring>& names) {
    for (const std::wstring& name : names) {
      ASSERT_TRUE(::CopyFileW(
          (test::ExecutableDir() + L"\\planted\\" + name + L".dll").c_str(),
          downloads_.Append(name + L".dll").c_str(), FALSE))
          << name;
    }
  }
  std::wstring CopyIn(const std::wstring& program) {
    const std::wstring copy = downloads_.Append(program);
    EXPECT_TRUE(::CopyFileW((test::ExecutableDir() + L"\\" + program).c_str(),
                            copy.c_str(), FALSE));
    return copy;
  }
  std::vector<std::wstring> Markers() const {
    return FilesIn(downloads_.path(), L"*.loaded");
  }

  test::ScopedTempDir downloads_;
};

// Wine's own builtin libraries bind their delay-loaded imports along the
// default search order, ignoring the program's restriction (measured:
// wininet's crypt32.dll, comctl32's msimg32.dll, and dbghelp.dll under
// wintrust's imagehlp.dll): under Wine a planted copy of these three is
// loaded by Wine itself. Windows binds them from System32, so they are left
// out of the installer's folder here.
const std::vector<std::wstring> kPlantedBesideInstaller = {
    L"version",  L"oleacc",  L"wininet", L"winhttp", L"wintrust",
    L"comctl32", L"gdiplus", L"uxtheme", L"userenv", L"winmm"};

TEST_F(PlantedDllTest, SystemLibraryCopiesBesideTheInstallerAreNeverLoaded) {
  Plant(kPlantedBesideInstaller);
  const std::wstring installer = CopyIn(kInstaller);
  test::ScopedWineDllOverrides native_first(kInstaller, kPlantedNames);
  test::ScopedWineDllOverrides probe_native_first(L"planting_probe.exe",
                                                  kPlantedNames);
  ServeArchive(L"fake_setup_signed.exe");
  EXPECT_EQ(0u, Run(L"--silent", {}, installer));
  EXPECT_TRUE(SetupReport().has_value()) << Log();
  EXPECT_THAT(Log(), HasSubstr("INFO: Runned in secure environment."));
  EXPECT_THAT(Markers(), IsEmpty());

  // The same copies (all of them) do load into a program that does not
  // restrict its search path.
  Plant(kPlantedNames);
  std::wstring names;
  std::vector<std::wstring> expected;
  for (const std::wstring& name : kPlantedNames) {
    names += L" " + name + L".dll";
    expected.push_back(name + L".dll.loaded");
  }
  test::ChildProcess probe;
  ASSERT_TRUE(probe.Start(L"\"" + CopyIn(L"planting_probe.exe") + L"\"" + names));
  ASSERT_TRUE(probe.Wait(e2e::kRunTimeoutMs));
  EXPECT_THAT(Markers(), UnorderedElementsAreArray(expected));
}

// A Windows without SetSearchPathMode and SetDefaultDllDirectories.
class FallbackTest : public PlantedDllTest {
 protected:
  std::map<std::wstring, std::wstring> Pretence() {
    return {{L"LITE_TEST_NO_SAFE_DLL_SEARCH", L"1"}};
  }
  // The log lines of process `pid`, one a line.
  std::string LinesOf(DWORD pid) const {
    std::string lines;
    for (const test::LogEntry& entry : log_.Entries()) {
      if (entry.process_id == pid)
        lines += entry.message + "\n";
    }
    return lines;
  }

  test::ScopedPendingRenames pending_renames_;
  test::ScopedWineDllOverrides native_first_{kInstaller, {L"dbghelp"}};
};

TEST_F(FallbackTest, InstallationRunsInACopyFromAFreshDirectory) {
  Plant({L"dbghelp"});
  const std::wstring installer = CopyIn(kInstaller);
  ServeArchive(L"fake_setup_signed.exe");
  EXPECT_EQ(7u, Run(L"--silent --fake-setup-exit-code=7", Pretence(),
                    installer));

  // Setup was run by the copy, which was given the parent's switches and
  // the marker; the parent only handed on the copy's exit code.
  std::optional<base::Json> report = SetupReport();
  ASSERT_TRUE(report.has_value()) << Log();
  EXPECT_TRUE((*report)["switches"].contains("spawned_in_protected_dir"));
  EXPECT_EQ("7", (*report)["switches"]["fake-setup-exit-code"]);
  std::vector<DWORD> pids;
  for (const test::LogEntry& entry : log_.Entries()) {
    if (pids.empty() || pids.back() != entry.process_id)
      pids.push_back(entry.process_id);
  }
  ASSERT_EQ(2u, pids.size()) << Log();
  const std::string copy_lines = LinesOf(pids[0]);
  const std::string parent_lines = LinesOf(pids[1]);
  EXPECT_THAT(copy_lines, HasSubstr("INFO: Runned in secure environment."));
  EXPECT_THAT(copy_lines, HasSubstr("INFO: Installer exit with code: 7"));
  EXPECT_THAT(parent_lines, Not(HasSubstr("environment")));
  EXPECT_THAT(parent_lines, Not(HasSubstr("Installer exit with code")));

  // The copy lived in a new directory of the temporary folder, named for
  // deletion at the next reboot with the program in it, and gone now.
  std::wstring copy_dir;
  for (const std::wstring& entry : pending_renames_.Entries()) {
    if (entry.rfind(L"\\??\\" + dir_.path() + L"\\", 0) == 0 &&
        entry.find(L".exe") == std::wstring::npos) {
      copy_dir = entry.substr(4);
    }
  }
  ASSERT_FALSE(copy_dir.empty());
  EXPECT_TRUE(pending_renames_.HoldsDeletionOf(copy_dir + L"\\" + kInstaller));
  EXPECT_FALSE(test::PathExists(copy_dir));
  // Nothing beside the original was loaded, by the parent or the copy.
  EXPECT_THAT(Markers(), IsEmpty());
}

TEST_F(FallbackTest, DllFilesBesideACopyThatMustNotRelaunchEndTheRun) {
  const std::wstring installer = CopyIn(kInstaller);
  // Neither a directory named like a DLL nor DLLs in a sub-folder count.
  ASSERT_TRUE(::CreateDirectoryW(downloads_.Append(L"z.dll").c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW(downloads_.Append(L"sub").c_str(), nullptr));
  ASSERT_TRUE(test::WriteStringToFile(downloads_.Append(L"sub\\y.dll"), "x"));
  // The elevated copy then goes on to its own work (not built: -1).
  EXPECT_EQ(static_cast<DWORD>(-1),
            e2e::RunInstaller(installer, L"--run-as-admin", dir_.path(),
                              Pretence()));
  EXPECT_THAT(Log(), HasSubstr("INFO: Runned in secure environment."));

  ASSERT_TRUE(test::WriteStringToFile(downloads_.Append(L"x.dll"), "x"));
  for (const wchar_t* marker :
       {L"--run-as-admin", L"--spawned_in_protected_dir --silent"}) {
    log_.Clear();
    EXPECT_EQ(static_cast<DWORD>(-200),
              e2e::RunInstaller(installer, marker, dir_.path(), Pretence()))
        << marker;
    EXPECT_THAT(Log(),
                HasSubstr("INFO: Exiting, DLL files found in working directory"));
    EXPECT_THAT(Log(), Not(HasSubstr("Installer exit with code")));
  }
}

// A delay-loaded function that cannot be bound, called by the installer's
// test trigger; the loopback collector takes the crash report of the trap.
class DelayLoadFailureTest : public e2e::LocalInstallTest {
 protected:
  test::ChildProcess Start(const std::wstring& kind,
                           const std::wstring& switches,
                           const std::wstring& at = L"") {
    return e2e::StartInstaller(kInstaller, switches, dir_.path(),
                               {{L"LITE_TEST_DELAY_LOAD_FAILURE", kind},
                                {L"LITE_TEST_DELAY_LOAD_FAILURE_AT", at}});
  }
  // The installer's message box, once it shows (null if the process ends
  // or nothing shows in time).
  HWND WaitForBox(test::ChildProcess& process) {
    for (DWORD waited = 0; waited < e2e::kRunTimeoutMs; waited += 50) {
      HWND box = nullptr;
      while ((box = ::FindWindowExW(nullptr, box, nullptr,
                                    L"Norvel Browser installer"))) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(box, &owner);
        if (owner == process.pid() && ::IsWindowVisible(box))
          return box;
      }
      if (process.Wait(50))
        return nullptr;
    }
    return nullptr;
  }
  // Reads the box's text, keeps a picture of it, presses OK and returns
  // the text.
  std::string ReadAndClose(HWND box, const std::string& name) {
    char text[512] = {};
    ::SendMessageA(::GetDlgItem(box, 0xFFFF), WM_GETTEXT, sizeof(text),
                   reinterpret_cast<LPARAM>(text));
    RECT rect;
    ::GetWindowRect(box, &rect);
    EXPECT_FALSE(test::CaptureScreenForCurrentTest(rect, name).empty());
    ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    return text;
  }
  // The stack of the trapping thread in the dump of the one crash report
  // taken after the first `earlier` ones (empty, with a failure, if there is
  // no such report or it is no breakpoint's).
  std::string TrapStackOfNewReport(size_t earlier) {
    const std::vector<test::RecordedRequest> reports =
        services_->CrashReports();
    if (reports.size() != earlier + 1 ||
        reports.back().crash.attachments.empty()) {
      ADD_FAILURE() << reports.size() - earlier
                    << " new crash reports, or one without its dump";
      return "";
    }
    const test::MinidumpFile dump(reports.back().crash.attachments[0].bytes);
    const MINIDUMP_EXCEPTION_STREAM* exception = dump.Exception();
    if (!exception) {
      ADD_FAILURE() << "the dump has no exception";
      return "";
    }
    EXPECT_EQ(kBreakpointExit, exception->ExceptionRecord.ExceptionCode);
    return dump.ThreadStack(exception->ThreadId);
  }
  // Runs to the trap without any box; `reported`: the crash reporter is
  // armed by then and sends the trap's report.
  void ExpectTrapWithoutBox(const std::wstring& kind,
                            const std::wstring& switches,
                            const std::wstring& at = L"",
                            bool reported = true) {
    const size_t earlier = services_->CrashReports().size();
    test::ChildProcess process = Start(kind, switches, at);
    HWND box = WaitForBox(process);
    EXPECT_EQ(nullptr, box) << kind << " " << switches;
    if (box)
      ReadAndClose(box, "unexpected");
    ASSERT_TRUE(process.Wait(e2e::kRunTimeoutMs));
    EXPECT_EQ(kBreakpointExit, process.exit_code()) << kind << " " << switches;
    if (reported) {
      EXPECT_FALSE(TrapStackOfNewReport(earlier).empty()) << kind;
    }
  }
};

TEST_F(DelayLoadFailureTest, InteractiveRunShowsTheFailureThenTraps) {
  const struct {
    const wchar_t* kind;
    const wchar_t* switches;
    std::string text;
  } cases[] = {
      {L"missing-function", L"",
       "Function LiteMissingVersionFunction not found in Windows dll "
       "version.dll"},
      {L"missing-library", L"/silent",
       "Windows dll is not found: lite_missing_library.dll"},
      {L"missing-function", L"--SILENT",
       "Function LiteMissingVersionFunction not found in Windows dll "
       "version.dll"},
      // Cut to 127 characters.
      {L"long-function-name", L"",
       std::string("Function LiteFunctionNamedAtLength200_029_033_037_041_045_"
                   "049_053_057_061_065_069_073_077_081_085_089_093_097_101_"
                   "105_109_113_117_121_125_129_133_137_141_145_149_153_157_"
                   "161_165_169_173_177_181_185_189_193_197")
           .substr(0, 127)},
  };
  int index = 0;
  for (const auto& c : cases) {
    const size_t earlier = services_->CrashReports().size();
    test::ChildProcess process = Start(c.kind, c.switches);
    HWND box = WaitForBox(process);
    ASSERT_TRUE(box) << c.kind << " " << c.switches;
    EXPECT_EQ(c.text, ReadAndClose(box, "box" + std::to_string(index++)));
    ASSERT_TRUE(process.Wait(e2e::kRunTimeoutMs));
    EXPECT_EQ(kBreakpointExit, process.exit_code());
    // The text, with its terminator, on the stack of the trap: the long
    // name's text ends after 127 characters.
    const std::string stack = TrapStackOfNewReport(earlier);
    EXPECT_NE(std::string::npos, stack.find(c.text + '\0'))
        << c.kind << " " << c.switches << ": not in the " << stack.size()
        << " stack bytes of the dump";
  }
}

TEST_F(DelayLoadFailureTest, NoBoxWhenSilentOrWithoutUser32) {
  ExpectTrapWithoutBox(L"missing-function", L"--silent");
  ExpectTrapWithoutBox(L"missing-function", L"--silently");
  // USER32 itself failing: the library, or one of its functions.
  ExpectTrapWithoutBox(L"user32-named-library", L"");
  ExpectTrapWithoutBox(L"missing-user32-function", L"");
  // Before anything of USER32 was bound, and before the crash reporter is
  // armed: the system ends the process.
  ExpectTrapWithoutBox(L"missing-function", L"", L"start", false);
}

}  // namespace
