// Obtaining the setup archive, end to end against the loopback services.

#include <windows.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/command_line.h"
#include "base/scoped_handle.h"
#include "base/strings.h"
#include "base/tick_clock.h"
#include "brand/brand_package_info.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/norvel/util/network/download_sink.h"
#include "deployment_config.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/fake_services.h"
#include "test/support/fake_system_facts.h"
#include "test/support/matchers.h"
#include "chrome/installer/norvel/util/statistics/install_stat_sender.h"
#include "test/support/recording_delegate.h"
#include "test/support/recording_stat_sender.h"
#include "test/support/registry_override.h"
#include "test/support/resume_emulation.h"
#include "test/support/scoped_command_line.h"
#include "test/support/test_support.h"

namespace {

using ::test::ContainsPattern;
using ::test::FakeServices;
using ::test::FullyMatches;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int64_t kDayUs = 86400ll * 1000 * 1000;

int64_t NowUs() {
  FILETIME now = {};
  ::GetSystemTimeAsFileTime(&now);
  return static_cast<int64_t>(
      ((static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) /
      10);
}

// What one call of DownloadUrl saw.
struct Attempt {
  uint32_t sink_before = 0;
  uint32_t sink_after = 0;
  bool ok = false;
  std::string error;
};

// The real acquisition with a short pause, a chosen architecture and
// installer age, and a record of every attempt.
class ModuleTestInstaller : public Installer {
 public:
  using Installer::DownloadUrlEntry;
  using Installer::GetDownloadUrls;
  using Installer::IsVersionedSetupUrlAllowed;

  ModuleTestInstaller(Delegate* delegate, BrandPackageInfo* brand)
      : Installer(delegate, brand, nullptr, false) {}

  DWORD GetRetryDelayMs() override { return retry_delay_ms; }
  bool IsX64System() override { return x64; }
  bool GetModuleCreationTime(const std::wstring& path,
                             uint64_t* time) override {
    if (creation_time) {
      *time = *creation_time;
      return true;
    }
    return Installer::GetModuleCreationTime(path, time);
  }
  bool DownloadUrl(const std::wstring& url,
                   installer::DownloadSink* sink,
                   std::string* error,
                   std::wstring* final_url,
                   uint32_t* total_size,
                   installer::DownloadObserver* observer,
                   base::ExceptionRecord* exception) override {
    Attempt attempt;
    attempt.sink_before = sink->bytes_written();
    if (injected_exception) {
      // Opening the download raised a structured exception.
      *exception = *injected_exception;
    } else {
      attempt.ok = Installer::DownloadUrl(url, sink, error, final_url,
                                          total_size, observer, exception);
      attempt.error = *error;
    }
    attempt.sink_after = sink->bytes_written();
    attempts.push_back(attempt);
    ::SetEvent(attempt_done_.get());
    return attempt.ok;
  }

  bool WaitForAttempt(DWORD ms) {
    return ::WaitForSingleObject(attempt_done_.get(), ms) == WAIT_OBJECT_0;
  }

  DWORD retry_delay_ms = 1;
  bool x64 = false;
  std::optional<uint64_t> creation_time;
  std::optional<base::ExceptionRecord> injected_exception;
  std::vector<Attempt> attempts;

 private:
  base::ScopedKernelHandle attempt_done_{
      ::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
};

// Each call is a minute after the previous one, so that every read of a
// download is followed by an estimate.
class MinuteClock : public base::TickClock {
 public:
  DWORD GetTickCount() const override { return ticks_ += 61000; }

 private:
  mutable DWORD ticks_ = 0;
};

class InstallerModuleTest : public test::TestWithServices {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TestWithServices::SetUp());
    ASSERT_TRUE(server().Reset());
    SetWindows(10, 0);
  }

  void SetWindows(DWORD major, DWORD minor) {
    facts_.SetWindowsVersion(major, minor, 7601);
  }

  std::unique_ptr<ModuleTestInstaller> MakeInstaller() {
    auto installer = std::make_unique<ModuleTestInstaller>(&delegate_, &brand_);
    test::StatRecord::InstallInto(installer->stat_reporter(), stats_);
    return installer;
  }

  // Runs DownloadModule into a fresh file and returns its result.
  int Download(ModuleTestInstaller* installer,
               const wchar_t* command_line = L"inst.exe") {
    base::ScopedFileHandle file(::CreateFileW(archive_.c_str(), GENERIC_WRITE,
                                              0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file.is_valid());
    return installer->DownloadModule(
        file.get(), base::CommandLine::FromString(command_line));
  }

  // The request paths the server saw, in order.
  std::vector<std::string> RequestPaths() {
    std::vector<std::string> paths;
    for (const test::RecordedRequest& request : server().Requests())
      paths.push_back(request.path);
    return paths;
  }

  // The download-attempt statistics events of every installer made so far,
  // in order (a "-" of a value goes out as "_"), as "download_attempt status=.. [error=..] attempt_number=..
  // downloaded_size=.. total_size=.. url=.. [x64=1]" (the URL read back
  // whole).
  std::vector<std::string> AttemptEvents() {
    std::vector<std::string> events;
    for (const test::StatRequest& request : stats_->Requests()) {
      if (request.Get("action") != "download_attempt")
        continue;
      std::string event = "download_attempt status=" + request.Get("status");
      if (request.Has("error"))
        event += " error=" + request.Get("error");
      event += " attempt_number=" + request.Get("attempt_number");
      event += " downloaded_size=" + request.Get("downloaded_size");
      event += " total_size=" + request.Get("total_size");
      event += " url=" + test::PercentDecoded(request.Get("url"));
      if (request.Has("x64"))
        event += " x64=" + request.Get("x64");
      events.push_back(event);
    }
    return events;
  }

  std::string Archive() { return test::ReadFile(archive_); }

  test::ScopedTempDir dir_;
  test::ScopedRegistryOverride registry_;
  test::ScopedCommandLine command_line_{L"inst.exe"};
  test::FakeSystemFacts facts_;
  BrandPackageInfo brand_{dir_.path() + L"\\"};
  test::RecordingDelegate delegate_;
  std::wstring archive_ = dir_.Append(L"module.arc");
  // The statistics of every installer the test made.
  std::shared_ptr<test::StatRecord> stats_ = std::make_shared<test::StatRecord>();
};

TEST_F(InstallerModuleTest, OnlyMainUrlGetsSixAttemptsEachFollowedByAPause) {
  ASSERT_TRUE(server().AddRule("/dl/only.arc", R"({"status": 503})"));
  brand_.setup_url_ = server().HttpUrl("/dl/only.arc");
  auto installer = MakeInstaller();
  installer->x64 = true;
  installer->retry_delay_ms = 100;

  const std::wstring path = installer->GetModulePath();
  ASSERT_FALSE(path.empty());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(kInstallErrorDownload, installer->GetModule(path, nullptr));
  const auto elapsed = std::chrono::steady_clock::now() - start;

  EXPECT_EQ(401, installer->exit_code());
  EXPECT_THAT(RequestPaths(), ElementsAreArray(std::vector<std::string>(
                                  6, "/dl/only.arc?from_installer=true")));
  // Six pauses of 100 ms: the sixth attempt is followed by one as well.
  EXPECT_GE(elapsed, std::chrono::milliseconds(590));

  const std::string log = Log();
  EXPECT_THAT(log, HasSubstr("WARNING: Setup url x64 empty!"));
  EXPECT_THAT(log, HasSubstr("INFO: Selected download urls: ("));
  EXPECT_THAT(log, ContainsPattern("INFO: http://127\\.0\\.0\\.1:[0-9]+/dl/"
                                   "only\\.arc\\?from_installer=true \\("));
  EXPECT_THAT(log, HasSubstr("ERROR: Max download attempts failed - "));
  EXPECT_THAT(log, HasSubstr("ERROR: Module was not downloaded: " +
                             base::WideToUTF8(path) + " - "));
  const std::vector<std::string> events = AttemptEvents();
  ASSERT_EQ(6u, events.size());
  for (int n = 1; n <= 6; ++n) {
    EXPECT_THAT(events[n - 1],
                FullyMatches("download_attempt status=failed "
                             "error=final_query_info_503_[0-9]+ "
                             "attempt_number=" +
                             std::to_string(n) +
                             " downloaded_size=0 total_size=[0-9]+ "
                             "url=http://.*/dl/only\\.arc\\?from_installer="
                             "true x64=1"));
  }
}

TEST_F(InstallerModuleTest, UrlOrderOnWindows10And7) {
  brand_.setup_url64_ = server().HttpUrl("/dl/x64.arc");
  brand_.setup_url_version_ = server().HttpUrl("/dl/versioned.arc");
  brand_.setup_url_ = server().HttpUrl("/dl/main.arc");
  brand_.setup_url_win7_ = server().HttpUrl("/dl/win7.arc");
  // Unmatched paths answer 404: every attempt fails.
  auto expected = [](std::vector<std::pair<const char*, int>> urls) {
    std::vector<std::string> paths;
    for (const auto& [name, attempts] : urls) {
      for (int i = 0; i < attempts; ++i)
        paths.push_back(std::string("/dl/") + name + "?from_installer=true");
    }
    return paths;
  };

  {
    auto installer = MakeInstaller();
    installer->x64 = true;
    installer->creation_time = NowUs() - kDayUs;
    EXPECT_EQ(kInstallErrorDownload, Download(installer.get()));
    EXPECT_THAT(RequestPaths(),
                ElementsAreArray(expected(
                    {{"x64.arc", 3}, {"versioned.arc", 3}, {"main.arc", 3}})));
  }
  ASSERT_TRUE(server().Reset());
  SetWindows(6, 1);
  {
    auto installer = MakeInstaller();
    installer->x64 = true;
    installer->creation_time = NowUs() - kDayUs;
    EXPECT_EQ(kInstallErrorDownload, Download(installer.get()));
    EXPECT_THAT(RequestPaths(), ElementsAreArray(expected({{"win7.arc", 1},
                                                           {"x64.arc", 3},
                                                           {"versioned.arc", 3},
                                                           {"main.arc", 3}})));
  }
}

TEST_F(InstallerModuleTest, ArchitectureFromSwitchesOrTheSystem) {
  ASSERT_TRUE(server().AddRule("/dl/", R"({"size": 1000})", true));
  brand_.setup_url64_ = server().HttpUrl("/dl/x64.arc");
  brand_.setup_url_ = server().HttpUrl("/dl/main.arc");
  struct Case {
    bool x64_system;
    const wchar_t* command_line;
    const char* first_path;
  };
  const Case cases[] = {
      {true, L"inst.exe", "/dl/x64.arc"},
      {true, L"inst.exe --download-x32", "/dl/main.arc"},
      {false, L"inst.exe", "/dl/main.arc"},
      {false, L"inst.exe --download-x64", "/dl/x64.arc"},
      {false, L"inst.exe --download-x32 --download-x64", "/dl/x64.arc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(base::WideToUTF8(c.command_line));
    ASSERT_TRUE(server().Reset());
    ASSERT_TRUE(server().AddRule("/dl/", R"({"size": 1000})", true));
    auto installer = MakeInstaller();
    installer->x64 = c.x64_system;
    EXPECT_EQ(0, Download(installer.get(), c.command_line));
    EXPECT_THAT(RequestPaths(), ElementsAre(std::string(c.first_path) +
                                            "?from_installer=true"));
    const bool x64 = std::string(c.first_path) == "/dl/x64.arc";
    ASSERT_FALSE(AttemptEvents().empty());
    EXPECT_THAT(AttemptEvents().back(),
                ContainsPattern("^download_attempt status=success "
                                "attempt_number=1 downloaded_size=1000 "
                                "total_size=1000 url=.*" +
                                std::string(x64 ? " x64=1$" : "true$")));
    EXPECT_EQ(FakeServices::PatternBytes(0, 1000), Archive());
  }
}

// Attempts as "sink before->sink after result", the result being "ok" or the
// failure label without its error number.
std::vector<std::string> Trace(const ModuleTestInstaller& installer) {
  std::vector<std::string> trace;
  for (const Attempt& a : installer.attempts) {
    trace.push_back(std::to_string(a.sink_before) + "->" +
                    std::to_string(a.sink_after) + " " +
                    (a.ok ? "ok" : a.error.substr(0, a.error.rfind('-'))));
  }
  return trace;
}

// A failure after a tenth of the body keeps it: the next attempt starts on a
// sink that holds it. Wine cannot resume (InternetSetFilePointer fails and
// the downloader empties the sink), so the attempt after that starts at zero.
// Below a tenth the file starts again at once.
TEST_F(InstallerModuleTest, PartialFileKeptFromATenthOn) {
  brand_.setup_url_ = server().HttpUrl("/dl/part.arc");
  ASSERT_TRUE(server().AddRule("/dl/part.arc", R"({"size": 100000})"));
  ASSERT_TRUE(server().AddRule("/dl/part.arc",
                               R"({"size": 100000, "drop": 10000})", false, 2));
  auto installer = MakeInstaller();
  ASSERT_EQ(0, Download(installer.get()));
  EXPECT_THAT(
      Trace(*installer),
      ElementsAre("0->10000 internet_read",
                  "10000->0 internet_set_file_pointer", "0->100000 ok"));
  EXPECT_EQ(FakeServices::PatternBytes(0, 100000), Archive());
  const std::vector<std::string> events = AttemptEvents();
  ASSERT_EQ(3u, events.size());
  EXPECT_THAT(events[0], ContainsPattern("^download_attempt status=failed "
                                         "error=internet_read_[0-9]+ "
                                         "attempt_number=1 "
                                         "downloaded_size=10000 "
                                         "total_size=100000 "));
  EXPECT_THAT(events[1], ContainsPattern("^download_attempt status=failed "
                                         "error=internet_set_file_pointer_"
                                         "[0-9]+ attempt_number=2 "
                                         "downloaded_size=0 total_size=0 "));
  EXPECT_THAT(events[2], ContainsPattern("^download_attempt status=success "
                                         "attempt_number=3 "
                                         "downloaded_size=100000 "));

  ASSERT_TRUE(server().Reset());
  ASSERT_TRUE(server().AddRule("/dl/part.arc", R"({"size": 100000})"));
  ASSERT_TRUE(server().AddRule("/dl/part.arc",
                               R"({"size": 100000, "drop": 9999})", false, 1));
  installer = MakeInstaller();
  ASSERT_EQ(0, Download(installer.get()));
  EXPECT_THAT(Trace(*installer),
              ElementsAre("0->9999 internet_read", "0->100000 ok"));
  EXPECT_EQ(FakeServices::PatternBytes(0, 100000), Archive());
  EXPECT_THAT(AttemptEvents()[3], HasSubstr(" attempt_number=1 "
                                            "downloaded_size=9999 "
                                            "total_size=100000 "));
}

// Where the platform resumes (emulated here), the attempt after a drop past
// a tenth completes the kept bytes: a brand with one URL is not left with
// six attempts that each hold the whole body and fail.
TEST_F(InstallerModuleTest, ResumedAttemptCompletesTheArchive) {
  test::ScopedResumeBySkipping resume;
  brand_.setup_url_ = server().HttpUrl("/dl/resumed.arc");
  ASSERT_TRUE(server().AddRule("/dl/resumed.arc", R"({"size": 100000})"));
  ASSERT_TRUE(server().AddRule("/dl/resumed.arc",
                               R"({"size": 100000, "drop": 20000})", false, 1));
  auto installer = MakeInstaller();
  const std::wstring path = installer->GetModulePath();
  ASSERT_EQ(0, installer->GetModule(path, nullptr)) << Log();
  EXPECT_THAT(Trace(*installer),
              ElementsAre("0->20000 internet_read", "20000->100000 ok"));
  std::string data;
  ASSERT_TRUE(test::ReadFileToString(path, &data));
  EXPECT_EQ(FakeServices::PatternBytes(0, 100000), data);
  const std::vector<std::string> events = AttemptEvents();
  ASSERT_EQ(2u, events.size());
  EXPECT_THAT(events[1], ContainsPattern("^download_attempt status=success "
                                         "attempt_number=2 "
                                         "downloaded_size=100000 "
                                         "total_size=100000 "));
  // The delegate saw the resumed attempt continue from the kept fifth.
  ASSERT_FALSE(delegate_.progress().empty());
  EXPECT_EQ(1.0f, delegate_.progress().back());
  ::DeleteFileW(path.c_str());
}

TEST_F(InstallerModuleTest, ANewUrlStartsFromZero) {
  ASSERT_TRUE(
      server().AddRule("/dl/x64.arc", R"({"size": 100000, "drop": 50000})"));
  ASSERT_TRUE(server().AddRule("/dl/main.arc", R"({"size": 60000})"));
  brand_.setup_url64_ = server().HttpUrl("/dl/x64.arc");
  brand_.setup_url_ = server().HttpUrl("/dl/main.arc");
  auto installer = MakeInstaller();
  installer->x64 = true;
  ASSERT_EQ(0, Download(installer.get()));
  // The first URL's last attempt leaves half of it, which the second URL
  // does not inherit.
  EXPECT_THAT(Trace(*installer),
              ElementsAre("0->50000 internet_read",
                          "50000->0 internet_set_file_pointer",
                          "0->50000 internet_read", "0->60000 ok"));
  EXPECT_EQ(FakeServices::PatternBytes(0, 60000), Archive());
  EXPECT_THAT(server().Requests().back().path, HasSubstr("/dl/main.arc?"));
}

TEST_F(InstallerModuleTest, StopDuringThePauseEndsAtOnce) {
  ASSERT_TRUE(server().AddRule("/dl/only.arc", R"({"status": 503})"));
  brand_.setup_url_ = server().HttpUrl("/dl/only.arc");
  auto installer = MakeInstaller();
  installer->retry_delay_ms = 60000;

  int result = -1;
  std::thread download([&] { result = Download(installer.get()); });
  ASSERT_TRUE(installer->WaitForAttempt(20000));
  const auto stopped = std::chrono::steady_clock::now();
  ::SetEvent(installer->stop_event());
  download.join();
  EXPECT_LT(std::chrono::steady_clock::now() - stopped,
            std::chrono::seconds(10));
  EXPECT_EQ(kInstallErrorDownload, result);
  EXPECT_EQ(1u, installer->attempts.size());
  EXPECT_THAT(Log(), HasSubstr("INFO: Installation stopped ("));
  EXPECT_THAT(Log(), Not(HasSubstr("Max download attempts failed")));
}

TEST_F(InstallerModuleTest, DelegateSeesProgressAndRemainingTime) {
  MinuteClock clock;
  base::ScopedTickClockForTesting scoped_clock(&clock);
  ASSERT_TRUE(server().AddRule("/dl/main.arc", R"({"size": 300000})"));
  brand_.setup_url_ = server().HttpsUrl("/dl/main.arc");
  auto installer = MakeInstaller();
  // Through the archive lock the verification step asks for.
  const std::wstring path = installer->GetModulePath();
  std::unique_ptr<PermanentLockFile> lock;
  ASSERT_EQ(0, installer->GetModule(path, &lock));
  ASSERT_TRUE(lock && lock->is_valid());
  lock.reset();
  std::string data;
  ASSERT_TRUE(test::ReadFileToString(path, &data));
  EXPECT_EQ(FakeServices::PatternBytes(0, 300000), data);
  EXPECT_THAT(
      Log(),
      HasSubstr("INFO: Module downloaded: " + base::WideToUTF8(path) + " ("));
  EXPECT_EQ(L"normal",
            installer->stat_reporter()->params().at("install_type"));
  EXPECT_THAT(stats_->Events(), ElementsAre("download/started",
                                            "download_attempt",
                                            "download/finished"));
  EXPECT_EQ("0", stats_->Requests().back().Get("download_time"));

  const std::vector<float> progress = delegate_.progress();
  ASSERT_GE(progress.size(), 3u);
  EXPECT_EQ(0.0f, progress.front());
  EXPECT_EQ(1.0f, progress.back());
  for (size_t i = 1; i < progress.size(); ++i)
    EXPECT_LE(progress[i - 1], progress[i]);

  // The download's figures plus four minutes: -1 before any estimate, 0
  // when finished.
  const auto remaining = delegate_.remaining();
  ASSERT_GE(remaining.size(), 3u);
  EXPECT_EQ(std::make_pair(239, 0), remaining.front());
  EXPECT_EQ(std::make_pair(240, 2), remaining.back());
  for (size_t i = 1; i + 1 < remaining.size(); ++i) {
    EXPECT_EQ(1, remaining[i].second);
    EXPECT_GE(remaining[i].first, 240);
  }
  // The first estimate comes a minute in, with most of the body to go.
  EXPECT_GT(remaining[1].first, 240);
  EXPECT_GE(delegate_.slow(), 1);
}

TEST_F(InstallerModuleTest, ExceptionWhileOpeningEndsAllAttempts) {
  brand_.setup_url_ = server().HttpUrl("/dl/main.arc");
  {
    auto installer = MakeInstaller();
    installer->injected_exception = base::ExceptionRecord{
        base::kDelayLoadModNotFound, "CPLib.DLL", "CryptoProInitialize"};
    EXPECT_EQ(kInstallErrorCryptoPro, Download(installer.get()));
    EXPECT_EQ(1u, installer->attempts.size());
  }
  {
    auto installer = MakeInstaller();
    installer->injected_exception =
        base::ExceptionRecord{EXCEPTION_ACCESS_VIOLATION, "", ""};
    EXPECT_EQ(kInstallErrorDownload, Download(installer.get()));
    EXPECT_EQ(1u, installer->attempts.size());
  }
  EXPECT_THAT(Log(), HasSubstr("ERROR: Exception with code=3228369022"
                               "dll_name=CPLib.DLLproc_name="
                               "CryptoProInitialize - "));
  EXPECT_THAT(Log(), HasSubstr("ERROR: Exception with code=3221225477 - "));
  EXPECT_TRUE(AttemptEvents().empty());

  using base::ExceptionRecord;
  const DWORD mod = base::kDelayLoadModNotFound;
  EXPECT_TRUE(
      IsCryptoProException(ExceptionRecord{mod, "cplib.dll", "xCRYPTOPROx"}));
  EXPECT_FALSE(IsCryptoProException(
      ExceptionRecord{base::kDelayLoadProcNotFound, "cplib.dll", "CryptoPro"}));
  EXPECT_FALSE(
      IsCryptoProException(ExceptionRecord{mod, "cplib.dll.x", "CryptoPro"}));
  EXPECT_FALSE(
      IsCryptoProException(ExceptionRecord{mod, "cplib.dll", "Crypto"}));
}

TEST_F(InstallerModuleTest, UrlListsByWindowsVersion) {
  brand_.setup_url_ = "https://h.example/a.arc?x=1";
  brand_.setup_url64_ = "https://h.example/x64.arc";
  brand_.brand_id_ = "tb";
  const std::string origin = deployment::kDownloadOrigin;
  using Entries = std::vector<std::pair<std::string, int>>;
  auto urls = [](ModuleTestInstaller* installer, int architecture) {
    Entries entries;
    for (const auto& entry : installer->GetDownloadUrls(architecture))
      entries.emplace_back(entry.url, entry.attempts);
    return entries;
  };

  // XP, 64-bit XP and Vista: the legacy build only, whatever the brand says.
  for (auto [major, minor] :
       {std::pair{5, 1}, std::pair{5, 2}, std::pair{6, 0}}) {
    SetWindows(major, minor);
    auto installer = MakeInstaller();
    EXPECT_EQ(
        Entries({{origin + "/browser-partners/_xp_builds/browser-setup.arc"
                           "?from_installer=true",
                  6}}),
        urls(installer.get(), 1))
        << major << "." << minor;
  }
  // Windows 7 to 8.1 without a Windows 7 URL in the brand: the brand's
  // folder on the download host. The query is appended even where one is.
  for (auto [major, minor] :
       {std::pair{6, 1}, std::pair{6, 2}, std::pair{6, 3}}) {
    SetWindows(major, minor);
    auto installer = MakeInstaller();
    EXPECT_EQ(Entries({{origin + "/browser/win7/tb/browser-setup.arc"
                                 "?from_installer=true",
                        1},
                       {"https://h.example/a.arc?x=1?from_installer=true", 3}}),
              urls(installer.get(), 0))
        << major << "." << minor;
  }
  brand_.brand_id_.clear();
  {
    auto installer = MakeInstaller();
    EXPECT_EQ(origin +
                  "/browser/win7/norvel/browser-setup.arc"
                  "?from_installer=true",
              urls(installer.get(), 0).front().first);
  }
  SetWindows(10, 0);
  {
    auto installer = MakeInstaller();
    EXPECT_EQ(Entries({{"https://h.example/x64.arc?from_installer=true", 3},
                       {"https://h.example/a.arc?x=1?from_installer=true", 3}}),
              urls(installer.get(), 1));
  }

  // Without a brand (the elevated copy) there is nothing to download.
  ModuleTestInstaller brandless(nullptr, nullptr);
  EXPECT_TRUE(brandless.GetDownloadUrls(1).empty());
  EXPECT_EQ(kInstallErrorDownload, Download(&brandless));
  EXPECT_THAT(Log(), HasSubstr("ERROR: Setup url is empty. - "));
  EXPECT_TRUE(server().Requests().empty());
}

TEST_F(InstallerModuleTest, VersionedUrlOnlyFromAFreshInstaller) {
  const std::string versioned = "https://h.example/1.2.3/browser-setup.arc";
  auto installer = MakeInstaller();
  EXPECT_FALSE(installer->IsVersionedSetupUrlAllowed(""));

  installer->creation_time = NowUs() - 29 * kDayUs;
  EXPECT_TRUE(installer->IsVersionedSetupUrlAllowed(versioned));
  installer->creation_time = NowUs() - 30 * kDayUs - 60ll * 1000 * 1000;
  EXPECT_FALSE(installer->IsVersionedSetupUrlAllowed(versioned));
  installer->creation_time = 0;
  EXPECT_FALSE(installer->IsVersionedSetupUrlAllowed(versioned));
  // A time ahead of the clock is recent; one beyond the signed range
  // saturates the age instead of wrapping it into the allowed range.
  installer->creation_time = NowUs() + kDayUs;
  EXPECT_TRUE(installer->IsVersionedSetupUrlAllowed(versioned));
  installer->creation_time = ~uint64_t{0};
  EXPECT_FALSE(installer->IsVersionedSetupUrlAllowed(versioned));
  EXPECT_THAT(Log(), Not(HasSubstr("Wrong setup url")));

  installer->creation_time = NowUs();
  EXPECT_FALSE(installer->IsVersionedSetupUrlAllowed(
      "https://h.example/{version}/browser-setup.arc"));
  EXPECT_THAT(Log(), HasSubstr("ERROR: Wrong setup url:https://h.example/"
                               "{version}/browser-setup.arc - "));

  // The test program itself was just built: its own time allows the URL.
  installer->creation_time.reset();
  EXPECT_TRUE(installer->IsVersionedSetupUrlAllowed(versioned));
}

TEST_F(InstallerModuleTest, ModuleCreationTime) {
  auto installer = MakeInstaller();

  // No version resource: the last write time in microseconds.
  const std::wstring plain = dir_.Append(L"plain.bin");
  ASSERT_TRUE(test::WriteStringToFile(plain, "data"));
  {
    base::ScopedFileHandle file(::CreateFileW(
        plain.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.is_valid());
    const uint64_t units = 132223104001234567;  // 2020-01-01 + 0.1234567 s
    FILETIME time = {static_cast<DWORD>(units),
                     static_cast<DWORD>(units >> 32)};
    ASSERT_TRUE(::SetFileTime(file.get(), nullptr, nullptr, &time));
  }
  uint64_t time = 0;
  ASSERT_TRUE(installer->Installer::GetModuleCreationTime(plain, &time));
  EXPECT_EQ(13222310400123456u, time);
  EXPECT_THAT(Log(), HasSubstr("WARNING: File version resource is absent in " +
                               base::WideToUTF8(plain) + " ("));
  EXPECT_THAT(Log(), HasSubstr("WARNING: Used the last write file time ("));

  // The product has a version resource without a file date.
  const std::wstring product = test::ExecutableDir() + L"\\lite_installer.exe";
  time = 0;
  ASSERT_TRUE(installer->Installer::GetModuleCreationTime(product, &time));
  EXPECT_GT(time, 0u);
  EXPECT_THAT(Log(), HasSubstr("WARNING: Version time is 0 in " +
                               base::WideToUTF8(product)));

  const std::wstring missing = dir_.Append(L"missing.exe");
  EXPECT_FALSE(installer->Installer::GetModuleCreationTime(missing, &time));
  EXPECT_THAT(Log(), HasSubstr("ERROR: Cannot read the last write time of " +
                               base::WideToUTF8(missing) + " - "));
}

}  // namespace
