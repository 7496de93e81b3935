// The prefetch tasks of a real silent installation: which paths setup is
// given, what it finds there while it runs, which requests the services
// receive, and what is left after the installer exits.

#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "base/json.h"
#include "base/strings.h"
#include "chrome/installer/norvel/util/file_version.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "logging/user_id.h"
#include "test/e2e/e2e_support.h"
#include "test/support/fake_services.h"
#include "test/support/test_support.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kVariationsPath[] = "/content/get/experiments/browser.proto";
constexpr char kAbPath[] = "/ab/get";
constexpr char kConfigPath[] = "/configs/all_zip";
constexpr char kWallpapersPath[] = "/wallpapers/";
constexpr char kLastModified[] = "Tue, 08 Dec 2026 21:00:00 GMT";

constexpr const char* kPrefetchSwitches[] = {
    "variations-update-path", "abt-update-path", "webntp-path",
    "server-config-bundle-path", "preloaded-wallpaper-bundle-path"};

std::string Base64(const std::string& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = (uint8_t(bytes[i]) << 16) | (uint8_t(bytes[i + 1]) << 8) |
                       uint8_t(bytes[i + 2]);
    for (int shift : {18, 12, 6, 0})
      out.push_back(kAlphabet[(v >> shift) & 63]);
  }
  if (i < bytes.size()) {
    uint32_t v = uint8_t(bytes[i]) << 16;
    if (i + 1 < bytes.size())
      v |= uint8_t(bytes[i + 1]) << 8;
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=');
    out.push_back('=');
  }
  return out;
}

// The saved seed file setup should find for a body of `size` pattern bytes.
std::string SavedSeed(size_t size,
                      const std::string& signature,
                      const std::string& country) {
  return "{\r\n   \"variations_country\": \"" + country +
         "\",\r\n   \"variations_last_modified_time\": \"" + kLastModified +
         "\",\r\n   \"variations_seed_base64\": \"" +
         Base64(test::FakeServices::PatternBytes(0, size)) +
         "\",\r\n   \"variations_seed_signature\": \"" + signature +
         "\"\r\n}\r\n";
}

// A field of setup's record of the file that switch `name` named: a string
// as it is, anything else as JSON text; "(none)" when not recorded.
std::string Seen(const base::Json& report,
                 const char* name,
                 const char* field) {
  const base::Json& files = report["files"];
  if (!files.contains(name) || !files[name].contains(field))
    return "(none)";
  const base::Json& value = files[name][field];
  return value.is_string() ? value.get<std::string>() : value.dump();
}

class PrefetchE2ETest : public e2e::LocalInstallTest {
 protected:
  void SetUp() override {
    e2e::LocalInstallTest::SetUp();
    ServeArchive(L"fake_setup_signed.exe");
  }

  // Setup's record; every prefetch switch it holds is a distinct path in
  // the system temporary folder (the run's TMP), and it holds exactly the
  // switches of `wanted`.
  std::optional<base::Json> CheckedReport(
      const std::set<std::string>& wanted) {
    std::optional<base::Json> report = SetupReport();
    if (!report || !report->contains("files"))
      return std::nullopt;
    const base::Json& switches = (*report)["switches"];
    std::set<std::string> paths;
    for (const char* name : kPrefetchSwitches) {
      EXPECT_EQ(wanted.count(name) == 1, switches.contains(name)) << name;
      if (!switches.contains(name))
        continue;
      const std::wstring path =
          base::UTF8ToWide(switches[name].get<std::string>());
      EXPECT_EQ(test::ToLower(dir_.path() + L"\\"),
                test::ToLower(path.substr(0, path.find_last_of(L'\\') + 1)))
          << name;
      paths.insert(base::WideToUTF8(test::ToLower(path)));
    }
    EXPECT_EQ(wanted.size(), paths.size());
    return report;
  }
  std::wstring PathOf(const base::Json& report, const char* name) {
    return base::UTF8ToWide(report["switches"][name].get<std::string>());
  }
  // Requests for any path other than the archive, the report and `known`.
  std::vector<std::string> OtherRequests(const std::set<std::string>& known) {
    std::vector<std::string> other;
    for (const test::RecordedRequest& request : services_->Requests()) {
      const std::string path = request.path.substr(0, request.path.find('?'));
      // Statistics requests have tests of their own.
      if (path.rfind("/installstats/", 0) == 0)
        continue;
      if (path != kArchivePath && path != kReportPath && !known.count(path))
        other.push_back(request.path);
    }
    return other;
  }
};

TEST_F(PrefetchE2ETest, TheTwoSeedsByDefault) {
  ASSERT_TRUE(services_->AddRule(
      kVariationsPath, test::SeedBehaviour(900, "dmFyaWF0aW9ucw==", "ru",
                                           kLastModified)));
  ASSERT_TRUE(services_->AddRule(
      kAbPath, test::SeedBehaviour(50, "YWI=", "kz", kLastModified)));
  EXPECT_EQ(0u, Run(L"--silent --fake-setup-wait-for=variations-update-path,"
                    L"abt-update-path"));
  const std::optional<base::Json> checked =
      CheckedReport({"variations-update-path", "abt-update-path"});
  ASSERT_TRUE(checked.has_value()) << Log();
  const base::Json& report = *checked;
  EXPECT_EQ(SavedSeed(900, "dmFyaWF0aW9ucw==", "ru"),
            Seen(report, "variations-update-path", "text"));
  EXPECT_EQ(SavedSeed(50, "YWI=", "kz"),
            Seen(report, "abt-update-path", "text"));

  // Both asked with the brand, the user and the program's own version.
  const std::string version = installer::GetFileVersionString(
      test::ExecutableDir() + L"\\lite_installer_local.exe");
  ASSERT_FALSE(version.empty());
  const std::string query = "?brand=local&uid=" + broupdater::GetUserId() +
                            "&version=" + version;
  for (const char* path : {kVariationsPath, kAbPath}) {
    const std::vector<test::RecordedRequest> requests = RequestsTo(path);
    ASSERT_EQ(1u, requests.size()) << path;
    EXPECT_EQ(path + query, requests[0].path);
  }
  EXPECT_THAT(OtherRequests({kVariationsPath, kAbPath}), testing::IsEmpty());
  // Setup has had them: the installer removes them when it exits.
  EXPECT_FALSE(test::PathExists(PathOf(report, "variations-update-path")));
  EXPECT_FALSE(test::PathExists(PathOf(report, "abt-update-path")));
}

TEST_F(PrefetchE2ETest, BundlesAndTheNewTabPath) {
  ASSERT_TRUE(services_->AddRule(kConfigPath, R"({"size": 70000})"));
  ASSERT_TRUE(services_->AddRule(std::string(kWallpapersPath) + "abc",
                                 R"({"size": 250000})"));
  ASSERT_TRUE(services_->AddRule(kAbPath, test::SeedBehaviour(
                                              20, "YWI=", "", kLastModified)));
  EXPECT_EQ(0u, Run(L"--silent --brand-name=wallpapers "
                    L"\"--distr-info-params=vup=0&webntp=1&scup=1&pwexp=abc\" "
                    L"--fake-setup-wait-for=server-config-bundle-path,"
                    L"preloaded-wallpaper-bundle-path,abt-update-path"));
  const std::optional<base::Json> checked =
      CheckedReport({"abt-update-path", "webntp-path",
                     "server-config-bundle-path",
                     "preloaded-wallpaper-bundle-path"});
  ASSERT_TRUE(checked.has_value()) << Log();
  const base::Json& report = *checked;
  EXPECT_EQ(e2e::Sha256Hex(test::FakeServices::PatternBytes(0, 70000)),
            Seen(report, "server-config-bundle-path", "sha256"));
  EXPECT_EQ(e2e::Sha256Hex(test::FakeServices::PatternBytes(0, 250000)),
            Seen(report, "preloaded-wallpaper-bundle-path", "sha256"));
  EXPECT_EQ("false", Seen(report, "webntp-path", "exists"));

  EXPECT_THAT(RequestsTo(kVariationsPath), testing::IsEmpty());
  const std::vector<test::RecordedRequest> config = RequestsTo(kConfigPath);
  ASSERT_EQ(1u, config.size());
  EXPECT_EQ("/configs/all_zip?brandID=local", config[0].path);
  const std::vector<test::RecordedRequest> wallpapers =
      RequestsTo(kWallpapersPath);
  ASSERT_EQ(1u, wallpapers.size());
  EXPECT_EQ("/wallpapers/abc", wallpapers[0].path);
  EXPECT_THAT(OtherRequests({kAbPath, kConfigPath, "/wallpapers/abc"}),
              testing::IsEmpty());

  // Only the wallpapers stay for the browser.
  EXPECT_FALSE(test::PathExists(PathOf(report, "server-config-bundle-path")));
  EXPECT_FALSE(test::PathExists(PathOf(report, "abt-update-path")));
  EXPECT_FALSE(test::PathExists(PathOf(report, "webntp-path")));
  EXPECT_TRUE(
      test::PathExists(PathOf(report, "preloaded-wallpaper-bundle-path")));
}

// Failed prefetches change nothing else: the same exit code, the same
// switches, no files; the seed's failure is in the log file, the bundle's
// only in the platform log.
TEST_F(PrefetchE2ETest, FailuresLeaveNoFileAndChangeNothingElse) {
  ASSERT_TRUE(services_->AddRule(
      kVariationsPath, test::SeedBehaviour(90, "", "ru", kLastModified)));
  ASSERT_TRUE(services_->AddRule(kConfigPath, R"({"status": 404})"));
  // Without a brand wallpaper URL "pwexp" reserves a path and asks nobody.
  EXPECT_EQ(0u, Run(L"--silent \"--distr-info-params=scup=1&pwexp=abc\""));
  const std::optional<base::Json> checked = CheckedReport(
      {"variations-update-path", "abt-update-path",
       "server-config-bundle-path", "preloaded-wallpaper-bundle-path"});
  ASSERT_TRUE(checked.has_value()) << Log();
  const base::Json& report = *checked;
  EXPECT_EQ(1u, RequestsTo(kConfigPath).size());
  EXPECT_THAT(OtherRequests({kVariationsPath, kAbPath, kConfigPath}),
              testing::IsEmpty());
  const std::string log = Log();
  EXPECT_THAT(log, HasSubstr("ERROR: Failed to get variations seed "
                             "signature"));
  EXPECT_THAT(log, Not(HasSubstr("Failed to download server config bundle")));
  EXPECT_THAT(log, HasSubstr("INFO: Installer exit with code: 0 ("));
  for (const char* name : kPrefetchSwitches) {
    if (report["switches"].contains(name)) {
      EXPECT_FALSE(test::PathExists(PathOf(report, name))) << name;
    }
  }
}

// A prefetch server that stalls mid-body cannot be cut short: the installer
// exits within its bound after setup ended, with its usual code.
TEST_F(PrefetchE2ETest, AStalledPrefetchServerDoesNotHoldTheExit) {
  ASSERT_TRUE(services_->AddRule(
      std::string(kWallpapersPath) + "stall",
      R"({"size": 5000000, "stall_after": 40000, "stall": 50})"));
  // Setup runs long enough for the tasks to reach the stalled download (they
  // fetch the seeds first); otherwise the stop would find them before it.
  EXPECT_EQ(0u, Run(L"--silent --brand-name=wallpapers "
                    L"--distr-info-params=pwexp=stall --fake-setup-sleep-ms=3000"));
  FILETIME exited;
  ::GetSystemTimeAsFileTime(&exited);
  ASSERT_TRUE(SetupReport().has_value()) << Log();
  // Setup wrote its record as it ended.
  WIN32_FILE_ATTRIBUTE_DATA record;
  ASSERT_TRUE(::GetFileAttributesExW(Report().c_str(), GetFileExInfoStandard,
                                     &record));
  auto ms = [](const FILETIME& time) {
    return ((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime) /
           10000;
  };
  const uint64_t after_setup_ms = ms(exited) - ms(record.ftLastWriteTime);
  EXPECT_GE(after_setup_ms, 4000u);
  EXPECT_LT(after_setup_ms, 8000u);
  const std::string log = Log();
  EXPECT_THAT(log, HasSubstr("ERROR: Async install tasks did not stop "
                             "within 5000 ms; left to end with the process"));
  EXPECT_THAT(log, HasSubstr("INFO: Installer exit with code: 0 ("));
  ASSERT_EQ(1u, RequestsTo("/wallpapers/stall").size());
}

}  // namespace
