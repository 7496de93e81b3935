#include "crash/scoped_crash_reporter.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/platform_log.h"
#include "base/strings.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/fake_services.h"
#include "test/support/matchers.h"
#include "test/support/minidump_file.h"
#include "test/support/registry_override.h"
#include "test/support/test_support.h"

namespace crashpad {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

constexpr DWORD kAccessViolation = EXCEPTION_ACCESS_VIOLATION;
constexpr DWORD kReportedCode = 0xE0000029;
constexpr char kZeroGuid[] = "00000000-0000-0000-0000-000000000000";

void AppendToFile(const std::wstring& path, const void* data, size_t size) {
  HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                              nullptr, OPEN_ALWAYS, 0, nullptr);
  DWORD written;
  ::WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
  ::CloseHandle(file);
}

// The child's platform log, line by line into a file: the child may not
// live to hand it over otherwise.
class FilePlatformLog : public base::PlatformLogSink {
 public:
  explicit FilePlatformLog(std::wstring path) : path_(std::move(path)) {
    base::SetPlatformLogSinkForTesting(this);
  }
  void OnPlatformLog(base::PlatformLogSeverity severity,
                     std::string_view text) override {
    std::string line = severity == base::PlatformLogSeverity::kWarning
                           ? "WARNING: "
                           : severity == base::PlatformLogSeverity::kError
                                 ? "ERROR: "
                                 : "VERBOSE: ";
    line.append(text);
    line += "\n";
    AppendToFile(path_, line.data(), line.size());
  }

 private:
  std::wstring path_;
};

// A process with a reporter for `origin` that crashes, or not, as `mode`
// says: "crash", "destroyed" (the reporter is gone before the crash),
// "report" (ReportException without a crash). Its profile is a scratch one
// in `dir`; a fourth argument is written as the user identifier file.
LITE_CHILD_MAIN(crash_reporter_child) {
  const std::wstring dir = args.at(0);
  const std::string origin = base::WideToUTF8(args.at(1));
  const std::wstring mode = args.at(2);
  test::ScopedTempPathOverride temp(dir);
  test::ScopedRegistryOverride registry;
  const std::wstring app_data = dir + L"\\appdata";
  ::CreateDirectoryW(app_data.c_str(), nullptr);
  for (const wchar_t* key :
       {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell "
        L"Folders",
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell "
        L"Folders"}) {
    test::WriteRegistryValue(HKEY_CURRENT_USER, key, L"AppData", app_data);
  }
  if (args.size() > 3) {
    ::CreateDirectoryW((app_data + L"\\Norvel").c_str(), nullptr);
    test::WriteStringToFile(app_data + L"\\Norvel\\ui",
                            base::WideToUTF8(args[3]));
  }
  FilePlatformLog log(dir + L"\\platform.log");

  auto reporter = std::make_unique<ScopedCrashReporter>(origin);
  reporter->SetAnnotation("ptype", "installer");
  reporter->SetAnnotation("ignored", "");
  std::string guid;
  for (int i = 0; i < 67; ++i)
    guid += "a b";
  reporter->SetAnnotation("guid", guid);
  reporter->SetAnnotation("upload_file_minidump", "planted");
  if (mode == L"report") {
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = kReportedCode;
    CONTEXT context = {};
    ::RtlCaptureContext(&context);
    EXCEPTION_POINTERS pointers = {&record, &context};
    return ScopedCrashReporter::ReportException(&pointers) ? 0 : 1;
  }
  if (mode == L"destroyed")
    reporter.reset();
  *static_cast<volatile int*>(nullptr) = 1;
  return 2;
}

class ScopedCrashReporterTest : public test::TestWithServices {
 protected:
  DWORD RunChild(const std::wstring& mode, const std::wstring& user_id = L"") {
    std::wstring args = L"\"" + dir_.path() + L"\" " +
                        server().HttpUrlW("") + L" " + mode;
    if (!user_id.empty())
      args += L" " + user_id;
    test::ChildProcess child = test::StartChild("crash_reporter_child", args);
    // Wine's dbghelp writes the dump slowly under load (up to about 40 s
    // while the whole suite runs).
    if (!child.Wait(120000)) {
      child.Terminate();
      return 0xDEAD;
    }
    return child.exit_code();
  }
  std::vector<std::string> PlatformLog() const {
    return test::SplitLines(test::ReadFile(dir_.Append(L"platform.log")));
  }
  // The report of the one request to the collector.
  test::CrashReport OneReport() {
    std::vector<test::RecordedRequest> requests = server().CrashReports(since_);
    EXPECT_EQ(1u, requests.size());
    return requests.empty() ? test::CrashReport() : requests[0].crash;
  }
  std::vector<std::wstring> DumpFiles() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find =
        ::FindFirstFileW(dir_.Append(L"*.dmp").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        names.push_back(found.cFileName);
      } while (::FindNextFileW(find, &found));
      ::FindClose(find);
    }
    return names;
  }

  test::ScopedTempDir dir_;
};

TEST_F(ScopedCrashReporterTest, MalformedUserIdentifierGivesZerosAndTheWarnings) {
  EXPECT_EQ(kAccessViolation, RunChild(L"crash", L"not-a-guid"));
  const test::CrashReport report = OneReport();
  ASSERT_EQ("", report.error) << testing::PrintToString(PlatformLog());
  // Fields in key order; the reserved key is not among them.
  std::vector<std::string> keys;
  for (const auto& [key, value] : report.fields)
    keys.push_back(key);
  EXPECT_THAT(keys, ElementsAre("guid", "gzip_enabled", "plat", "prod", "ptype",
                                "report_id", "uid", "ver"));
  EXPECT_THAT(report.fields, Contains(Pair("uid", kZeroGuid)));
  ASSERT_EQ(1u, report.attachments.size());
  EXPECT_EQ(std::string(kZeroGuid) + ".dmp", report.attachments[0].file_name);
  EXPECT_THAT(PlatformLog(),
              ElementsAre("WARNING: uid not found, use empty",
                          "WARNING: reserved key upload_file_minidump, "
                          "discarding value planted"));

  // The 201-character "guid" is cut before 128 characters, between escapes.
  ASSERT_EQ(3u, report.query.size());
  const std::string& guid = report.query[2].second;
  EXPECT_GE(guid.size(), 50u);
  EXPECT_THAT(guid, test::FullyMatches("(a b)*a?"));

  test::MinidumpFile dump(report.attachments[0].bytes);
  test::MinidumpFile::CrashInfo info;
  std::string error;
  ASSERT_TRUE(dump.ReadCrashInfo(&info, &error)) << error;
  const GUID zero = {};
  EXPECT_EQ(0, memcmp(&info.client_id, &zero, sizeof(GUID)));
  EXPECT_THAT(info.annotations, Contains(Pair("uid", kZeroGuid)));
  EXPECT_THAT(info.annotations,
              Contains(Pair("upload_file_minidump", "planted")));
  // Sent: the dump is gone.
  EXPECT_THAT(DumpFiles(), IsEmpty());
}

TEST_F(ScopedCrashReporterTest, RefusedUploadKeepsTheDump) {
  ASSERT_TRUE(server().AddRule("/submit", "{\"status\": 500}", false, 1));
  EXPECT_EQ(kAccessViolation, RunChild(L"crash"));
  const test::CrashReport report = OneReport();
  std::string report_id;
  for (const auto& [key, value] : report.fields) {
    if (key == "report_id")
      report_id = value;
  }
  ASSERT_EQ(36u, report_id.size());
  EXPECT_THAT(DumpFiles(), ElementsAre(base::UTF8ToWide(report_id) + L".dmp"));
  EXPECT_EQ(report.attachments.at(0).bytes,
            test::ReadFile(dir_.Append(base::UTF8ToWide(report_id) + L".dmp")));
  EXPECT_THAT(PlatformLog(), Contains("ERROR: HTTP status 500"));
}

TEST_F(ScopedCrashReporterTest, NothingAfterDestruction) {
  EXPECT_EQ(kAccessViolation, RunChild(L"destroyed"));
  EXPECT_THAT(NewRequests(), IsEmpty());
  EXPECT_THAT(DumpFiles(), IsEmpty());
}

TEST_F(ScopedCrashReporterTest, ReportsAGivenExceptionWithoutACrash) {
  EXPECT_EQ(0u, RunChild(L"report"));
  const test::CrashReport report = OneReport();
  ASSERT_EQ(1u, report.attachments.size());
  test::MinidumpFile dump(report.attachments[0].bytes);
  const MINIDUMP_EXCEPTION_STREAM* exception = dump.Exception();
  ASSERT_NE(nullptr, exception);
  EXPECT_EQ(kReportedCode, exception->ExceptionRecord.ExceptionCode);
}

LONG WINAPI SentinelFilter(EXCEPTION_POINTERS*) {
  return EXCEPTION_CONTINUE_SEARCH;
}

// Run by the ctest crash_reporter_without_dbghelp, with dbghelp.dll
// switched off in Wine: nothing is armed and nothing is reported.
TEST_F(ScopedCrashReporterTest, DISABLED_WithoutDbghelpNothingIsArmed) {
  ASSERT_EQ(nullptr, ::LoadLibraryW(L"dbghelp.dll"));
  test::ScopedTempPathOverride temp(dir_.path());
  LPTOP_LEVEL_EXCEPTION_FILTER sentinel = &SentinelFilter;
  LPTOP_LEVEL_EXCEPTION_FILTER before = ::SetUnhandledExceptionFilter(sentinel);
  {
    ScopedCrashReporter reporter(base::WideToUTF8(server().HttpUrlW("")));
    // No filter of its own was installed over the sentinel.
    EXPECT_EQ(sentinel, ::SetUnhandledExceptionFilter(sentinel));
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = kReportedCode;
    CONTEXT context = {};
    EXCEPTION_POINTERS pointers = {&record, &context};
    EXPECT_FALSE(ScopedCrashReporter::ReportException(&pointers));
  }
  ::SetUnhandledExceptionFilter(before);
  EXPECT_THAT(server().CrashReports(since_, 0), IsEmpty());
  EXPECT_THAT(DumpFiles(), IsEmpty());
}

}  // namespace
}  // namespace crashpad
