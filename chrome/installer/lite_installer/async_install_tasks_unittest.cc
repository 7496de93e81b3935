#include "chrome/installer/lite_installer/async_install_tasks.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/json.h"
#include "base/strings.h"
#include "brand/brand_package_info.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/lite_installer/service_origins.h"
#include "chrome/installer/norvel/util/trust/trusted_list.h"
#include "deployment_config.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/fake_services.h"
#include "test/support/fixed_distrib_params.h"
#include "test/support/platform_log_capture.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_command_line.h"
#include "test/support/test_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr char kSeedPath[] = "/seed/variations";
constexpr char kAbPath[] = "/seed/ab";
constexpr char kLastModified[] = "Wed, 09 Dec 2026 10:00:00 GMT";

TEST(AppendStatParamsToUrlTest, AppendsWhatIsSetWithTheRightSeparator) {
  BrandPackageInfo brand(L"C:\\");
  brand.brand_id_ = "int";
  brand.partner_id_ = "p7";
  const std::string version = deployment::kInstallerVersion;
  EXPECT_EQ("https://h/seed?brand=int&partner=p7&uid=U1&version=" + version,
            AppendStatParamsToUrl("https://h/seed", brand, "U1"));
  EXPECT_EQ("https://h/seed?x=1&brand=int&partner=p7&uid=U1&version=" +
                version,
            AppendStatParamsToUrl("https://h/seed?x=1", brand, "U1"));
  // An empty user identifier drops only "uid".
  EXPECT_EQ("https://h/s?brand=int&partner=p7&version=" + version,
            AppendStatParamsToUrl("https://h/s", brand, ""));
  brand.brand_id_.clear();
  brand.partner_id_.clear();
  EXPECT_EQ("https://h/s?uid=U1&version=" + version,
            AppendStatParamsToUrl("https://h/s", brand, "U1"));
}

TEST(ServerConfigUrlTest, QueryOnlyForWhatIsSet) {
  const std::string base =
      std::string(lite_installer::kServiceOrigins.browser_api) +
      "/configs/all_zip";
  EXPECT_EQ(base + "?brandID=int", lite_installer::ServerConfigUrl("int", ""));
  EXPECT_EQ(base + "?brandID=int&partnerID=p7",
            lite_installer::ServerConfigUrl("int", "p7"));
  EXPECT_EQ(base + "?partnerID=p7", lite_installer::ServerConfigUrl("", "p7"));
  EXPECT_EQ(base, lite_installer::ServerConfigUrl("", ""));
}

// The suffix comes unsigned from the distribution parameters: it may extend
// the brand's path, never leave its scheme, host or port.
TEST(WallpaperBundleUrlTest, StaysOnTheBrandsHost) {
  using lite_installer::WallpaperBundleUrl;
  EXPECT_EQ("https://wp.example/bundles/abc",
            WallpaperBundleUrl("https://wp.example/bundles/", "abc"));
  EXPECT_EQ("https://wp.example/bundlesabc",
            WallpaperBundleUrl("https://wp.example/bundles", "abc"));
  EXPECT_EQ("https://wp.example/x",
            WallpaperBundleUrl("https://wp.example", "/x"));
  EXPECT_EQ("https://wp.example?x",
            WallpaperBundleUrl("https://wp.example", "?x"));
  for (const char* suffix :
       {".other.example/x", ":8443/x", "@other.example/x", "x.example"}) {
    EXPECT_EQ("", WallpaperBundleUrl("https://wp.example", suffix)) << suffix;
  }
  EXPECT_EQ("", WallpaperBundleUrl("https://wp.example:443", "0/x"));
  EXPECT_EQ("", WallpaperBundleUrl("not a url", "/x"));
}

class AsyncInstallTasksTest : public test::TestWithServices {
 protected:
  void SetUp() override {
    test::TestWithServices::SetUp();
    brand_.brand_id_ = "local";
    brand_.variations_url_ = server().HttpsUrl(kSeedPath);
    brand_.abt_url_ = server().HttpsUrl(kAbPath);
  }
  void TearDown() override {
    lite_installer::AsyncInstallTasks::set_stop_wait_ms_for_testing(
        lite_installer::AsyncInstallTasks::kStopWaitMs);
  }

  // The files in the temporary folder.
  std::vector<std::wstring> TempFiles() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW(temp_.Append(L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
      return names;
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        names.push_back(data.cFileName);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
  }
  // Waits until the worker made `count` requests.
  std::vector<test::RecordedRequest> WaitForRequests(size_t count) {
    return server().WaitForRequests(count, 20000, since_);
  }
  bool InTempFolder(const std::wstring& path) {
    return test::ToLower(path).rfind(test::ToLower(temp_.path() + L"\\"), 0) ==
           0;
  }

  test::ScopedTempDir temp_;
  test::ScopedTempPathOverride temp_override_{temp_.path()};
  test::ScopedRegistryOverride registry_;
  BrandPackageInfo brand_{temp_.path() + L"\\"};
  test::FixedDistribParams params_;
  test::ScopedPlatformLogCapture platform_log_;
};

TEST_F(AsyncInstallTasksTest, WhichKindsGetAPathAndATask) {
  {
    // Nothing asked for: the two seeds, each at its own reserved path.
    lite_installer::AsyncInstallTasks tasks(brand_, params_);
    EXPECT_TRUE(InTempFolder(tasks.variations_path()));
    EXPECT_TRUE(InTempFolder(tasks.abt_path()));
    EXPECT_NE(tasks.variations_path(), tasks.abt_path());
    EXPECT_THAT(tasks.webntp_path(), IsEmpty());
    EXPECT_THAT(tasks.server_config_path(), IsEmpty());
    EXPECT_THAT(tasks.wallpapers_path(), IsEmpty());
    WaitForRequests(2);
  }
  std::vector<test::RecordedRequest> requests = NewRequests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_THAT(requests[0].path,
              HasSubstr(std::string(kSeedPath) + "?brand=local&"));
  EXPECT_THAT(requests[1].path,
              HasSubstr(std::string(kAbPath) + "?brand=local&"));
  // Unanswered seeds are logged and saved nowhere.
  EXPECT_THAT(Log(), HasSubstr("ERROR: Failed to download variations seed: "
                               "final_query_info-404-"));

  // Everything but the seeds; the wallpapers without a brand URL get a path
  // and no task; the new-tab page never has one.
  since_ = requests.back().seq;
  params_.values = {{"vup", "0"}, {"abtup", "2"}, {"webntp", "1"},
                    {"scup", "1"}, {"pwexp", "abc"}};
  std::vector<std::wstring> paths;
  {
    lite_installer::AsyncInstallTasks tasks(brand_, params_);
    EXPECT_THAT(tasks.variations_path(), IsEmpty());
    EXPECT_THAT(tasks.abt_path(), IsEmpty());
    paths = {tasks.webntp_path(), tasks.server_config_path(),
             tasks.wallpapers_path()};
    for (const std::wstring& path : paths)
      EXPECT_TRUE(InTempFolder(path)) << base::WideToUTF8(path);
    EXPECT_NE(paths[0], paths[1]);
    EXPECT_NE(paths[1], paths[2]);
    EXPECT_NE(paths[0], paths[2]);
    // This build's configuration server is a port where nothing listens.
    for (int i = 0; i < 500 && platform_log_.Lines().empty(); ++i)
      ::Sleep(20);
  }
  EXPECT_THAT(NewRequests(), IsEmpty());
  // In the platform log, under this source; never in the log file.
  EXPECT_THAT(platform_log_.Lines(),
              ElementsAre(HasSubstr("ERROR: async_install_tasks: "
                                    "Failed to download server config "
                                    "bundle: internet_open_url-")));
  EXPECT_THAT(Log(), Not(HasSubstr("server config bundle")));
  for (const std::wstring& path : paths)
    EXPECT_FALSE(test::PathExists(path));
}

TEST_F(AsyncInstallTasksTest, SeedsAreSavedAsPrettyJsonAndDeletedAtTheEnd) {
  ASSERT_TRUE(server().AddRule(
      kSeedPath, test::SeedBehaviour(700, "c2lnbmF0dXJl", "ru", kLastModified)));
  ASSERT_TRUE(
      server().AddRule(kAbPath, test::SeedBehaviour(3, "YWI=", "", "")));
  std::wstring variations;
  std::wstring abt;
  std::string variations_text;
  std::string abt_text;
  {
    lite_installer::AsyncInstallTasks tasks(brand_, params_);
    variations = tasks.variations_path();
    abt = tasks.abt_path();
    for (int i = 0; i < 500 && !(test::PathExists(variations) &&
                                 test::PathExists(abt));
         ++i) {
      ::Sleep(20);
    }
    variations_text = test::ReadFile(variations);
    abt_text = test::ReadFile(abt);
  }
  const std::string body = test::FakeServices::PatternBytes(0, 700);
  const std::string base64 = install_util::EncodeBase64(std::span<const uint8_t>(
      reinterpret_cast<const uint8_t*>(body.data()), body.size()));
  EXPECT_EQ("{\r\n   \"variations_country\": \"ru\",\r\n"
            "   \"variations_last_modified_time\": \"" +
                std::string(kLastModified) +
                "\",\r\n"
                "   \"variations_seed_base64\": \"" +
                base64 +
                "\",\r\n"
                "   \"variations_seed_signature\": \"c2lnbmF0dXJl\"\r\n}\r\n",
            variations_text);
  std::optional<base::Json> ab = base::ParseJson(abt_text);
  ASSERT_TRUE(ab.has_value()) << abt_text;
  EXPECT_EQ("AAEC", (*ab)["variations_seed_base64"]);
  EXPECT_EQ("", (*ab)["variations_country"]);
  EXPECT_THAT(Log(), HasSubstr("INFO: Variations are saved in " +
                               base::WideToUTF8(variations)));
  // Setup has had them; they go with the tasks.
  EXPECT_FALSE(test::PathExists(variations));
  EXPECT_FALSE(test::PathExists(abt));
}

TEST_F(AsyncInstallTasksTest, ASeedWithoutSignatureIsNotSaved) {
  ASSERT_TRUE(server().AddRule(kSeedPath,
                               test::SeedBehaviour(10, "", "ru", kLastModified)));
  const std::wstring path = temp_.Append(L"seed.json");
  EXPECT_FALSE(installer::DownloadAndSaveVariations(
      server().HttpsUrl(kSeedPath), path, nullptr));
  EXPECT_FALSE(test::PathExists(path));
  EXPECT_THAT(Log(), HasSubstr("ERROR: Failed to get variations seed "
                               "signature"));
}

// Setup reads the path: a file that cannot be written whole is not left
// there, nor beside it.
TEST_F(AsyncInstallTasksTest, AnUnwritableSeedLeavesNoFile) {
  const std::wstring taken = temp_.Append(L"seed.json");
  ASSERT_TRUE(::CreateDirectoryW(taken.c_str(), nullptr));
  installer::VariationsResponse response;
  response.body = "seed";
  response.signature = "sig";
  EXPECT_FALSE(installer::SaveVariations(taken, response));
  EXPECT_THAT(TempFiles(), IsEmpty());
  EXPECT_THAT(Log(), HasSubstr("ERROR: Failed to save downloaded variations "
                               "update to " +
                               base::WideToUTF8(taken) + " - "));
}

TEST_F(AsyncInstallTasksTest, DestructionStopsATrickledDownloadAtOnce) {
  // 32 KiB a second of a 4 MiB bundle: minutes, unless stopped.
  ASSERT_TRUE(server().AddRule(
      "/wp/abc",
      R"({"size": 4194304, "trickle": 32768, "trickle_ms": 1000})"));
  brand_.preloaded_wallpapers_url_ = server().HttpsUrl("/wp/");
  params_.values = {{"vup", "0"}, {"abtup", "0"}, {"pwexp", "abc"}};
  auto tasks =
      std::make_unique<lite_installer::AsyncInstallTasks>(brand_, params_);
  const std::wstring path = tasks->wallpapers_path();
  ASSERT_EQ(1u, WaitForRequests(1).size());
  ::Sleep(1500);  // well into the body
  const ULONGLONG start = ::GetTickCount64();
  tasks.reset();
  const ULONGLONG took = ::GetTickCount64() - start;
  EXPECT_LT(took, 2500u);
  EXPECT_FALSE(test::PathExists(path));
  EXPECT_THAT(TempFiles(), IsEmpty());
}

// A server that stalls mid-body holds the worker's read; destruction does
// not wait for it beyond its bound.
TEST_F(AsyncInstallTasksTest, AStalledServerDoesNotHoldDestruction) {
  ASSERT_TRUE(server().AddRule(
      "/wp/stall", R"({"size": 1000000, "stall_after": 1000, "stall": 30})"));
  brand_.preloaded_wallpapers_url_ = server().HttpsUrl("/wp/");
  params_.values = {{"vup", "0"}, {"abtup", "0"}, {"pwexp", "stall"}};
  lite_installer::AsyncInstallTasks::set_stop_wait_ms_for_testing(500);
  ULONGLONG took = 0;
  {
    auto tasks =
        std::make_unique<lite_installer::AsyncInstallTasks>(brand_, params_);
    ASSERT_EQ(1u, WaitForRequests(1).size());
    ::Sleep(300);
    const ULONGLONG start = ::GetTickCount64();
    tasks.reset();
    took = ::GetTickCount64() - start;
  }
  EXPECT_LT(took, 2000u);
  EXPECT_THAT(Log(), HasSubstr("ERROR: Async install tasks did not stop "
                               "within 500 ms; left to end with the "
                               "process"));
}

// The installer hands setup exactly the paths its tasks reserved.
TEST_F(AsyncInstallTasksTest, SetupLineHoldsTheTasksPaths) {
  test::ScopedCommandLine command_line(L"inst.exe --silent");
  params_.values = {{"webntp", "1"}, {"scup", "1"}, {"pwexp", "abc"}};
  Installer installer(nullptr, &brand_, &params_, /*with_async_tasks=*/true);
  const lite_installer::AsyncInstallTasks* tasks = installer.async_tasks();
  ASSERT_NE(nullptr, tasks);
  const base::CommandLine line =
      installer.BuildSetupCommandLine(L"C:\\setup.arc", true);
  EXPECT_EQ(tasks->variations_path(),
            line.GetSwitchValue("variations-update-path"));
  EXPECT_EQ(tasks->abt_path(), line.GetSwitchValue("abt-update-path"));
  EXPECT_EQ(tasks->webntp_path(), line.GetSwitchValue("webntp-path"));
  EXPECT_EQ(tasks->server_config_path(),
            line.GetSwitchValue("server-config-bundle-path"));
  EXPECT_EQ(tasks->wallpapers_path(),
            line.GetSwitchValue("preloaded-wallpaper-bundle-path"));

  // Without tasks (the elevated copy) there are none of these switches.
  Installer plain(nullptr, &brand_, &params_, /*with_async_tasks=*/false);
  EXPECT_EQ(nullptr, plain.async_tasks());
  const std::wstring plain_line =
      plain.BuildSetupCommandLine(L"C:\\setup.arc", true).GetCommandLineString();
  EXPECT_THAT(plain_line, Not(HasSubstr(L"update-path")));
  EXPECT_THAT(plain_line, Not(HasSubstr(L"bundle-path")));
}

}  // namespace
