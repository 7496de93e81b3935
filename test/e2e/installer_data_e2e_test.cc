// The data files and the installation-finished report of a real silent
// installation: what setup found at the paths it was given, what stays in
// the registry, and what the report service received.

#include <windows.h>

#include <string>
#include <vector>

#include "base/json.h"
#include "base/strings.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "logging/user_id.h"
#include "test/e2e/e2e_support.h"
#include "test/support/matchers.h"
#include "test/support/test_support.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr wchar_t kProductKey[] = L"Software\\Norvel\\NorvelBrowser";
constexpr const wchar_t* kDataValues[] = {
    L"InstallerData", L"ClidsFile", L"NorvelWebsiteIconFile",
    L"AbtConfigResourceFile"};


bool ProductValueExists(const wchar_t* name) {
  return ::RegGetValueW(HKEY_CURRENT_USER, kProductKey, name, RRF_RT_REG_SZ,
                        nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void RemoveProductValues() {
  for (const wchar_t* name : kDataValues)
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kProductKey, name);
}

// The value of `key` in a report URL's query, or "(none)".
std::string QueryValue(const std::string& path, const std::string& key) {
  const std::string marker = key + "=";
  for (size_t at = path.find('?'); at != std::string::npos;
       at = path.find('&', at + 1)) {
    if (path.compare(at + 1, marker.size(), marker) == 0) {
      const size_t start = at + 1 + marker.size();
      return path.substr(start, path.find('&', start) - start);
    }
  }
  return "(none)";
}

class InstallerDataE2ETest : public e2e::LocalInstallTest {
 protected:
  void SetUp() override {
    e2e::LocalInstallTest::SetUp();
    RemoveProductValues();
  }
  void TearDown() override { RemoveProductValues(); }

  std::string Lower(const std::wstring& path) {
    return base::WideToUTF8(test::ToLower(path));
  }
  std::string Lower(const std::string& path) {
    return Lower(base::UTF8ToWide(path));
  }
  // The one report the services received; its path with the query.
  std::string TheReport() {
    const std::vector<test::RecordedRequest> reports = RequestsTo(kReportPath);
    EXPECT_EQ(1u, reports.size());
    if (reports.empty())
      return std::string();
    EXPECT_EQ("GET", reports[0].method);
    return reports[0].path;
  }
};

TEST_F(InstallerDataE2ETest, SetupFindsTheResourcesUnchangedInTheTempFolder) {
  ServeArchive(L"fake_setup_signed.exe");
  EXPECT_EQ(0u, Run(L"--silent"));
  std::optional<base::Json> report = SetupReport();
  ASSERT_TRUE(report.has_value()) << Log();
  const base::Json& files = (*report)["files"];

  const struct {
    const char* switch_name;
    const wchar_t* file_name;
    const wchar_t* resource;
  } kFiles[] = {
      {"installerdata", L"master_preferences", MAKEINTRESOURCEW(305)},
      {"clids-file", L"clids.xml", MAKEINTRESOURCEW(306)},
      {"abt-config-resource-file", L"abt_config_resource", L"ABT_CONFIG"},
  };
  for (const auto& file : kFiles) {
    SCOPED_TRACE(file.switch_name);
    ASSERT_TRUE(files.contains(file.switch_name));
    const base::Json& seen = files[file.switch_name];
    EXPECT_EQ(Lower(dir_.Append(file.file_name)),
              Lower(seen["path"].get<std::string>()));
    const std::string resource =
        e2e::ProgramResource(L"lite_installer_local.exe", file.resource);
    ASSERT_FALSE(resource.empty());
    ASSERT_EQ(true, seen["exists"]);
    EXPECT_EQ(static_cast<int64_t>(resource.size()), seen["size"]);
    EXPECT_EQ(e2e::Sha256Hex(resource), seen["sha256"]);
  }
  ASSERT_TRUE(files.contains("clids-file"));
  ASSERT_TRUE(files.contains("norvel-website-icon-file"));
  // windows-1251 is not UTF-8: setup saw bytes, not text.
  EXPECT_FALSE(files["clids-file"].contains("text"));
  // The product carries no icon: an empty file, passed all the same.
  const base::Json& icon = files["norvel-website-icon-file"];
  EXPECT_EQ(Lower(dir_.Append(L"website.ico")),
            Lower(icon["path"].get<std::string>()));
  EXPECT_EQ(true, icon["exists"]);
  EXPECT_EQ(0, icon["size"]);
  EXPECT_THAT(Log(), HasSubstr("WARNING: Failed to extract resource 323"));
  EXPECT_THAT(Log(), Not(HasSubstr("Failed to extract resource 30")));

  // A successful installation forgets three of the paths.
  EXPECT_FALSE(ProductValueExists(L"InstallerData"));
  EXPECT_FALSE(ProductValueExists(L"ClidsFile"));
  EXPECT_FALSE(ProductValueExists(L"NorvelWebsiteIconFile"));
  EXPECT_TRUE(ProductValueExists(L"AbtConfigResourceFile"));
}

TEST_F(InstallerDataE2ETest, AFailedInstallationKeepsEveryPathAndSaysSo) {
  ServeArchive(L"fake_setup.exe");  // unsigned
  EXPECT_EQ(402u, Run(L"--silent"));
  for (const wchar_t* name : kDataValues)
    EXPECT_TRUE(ProductValueExists(name)) << base::WideToUTF8(name);
  const std::string report = TheReport();
  EXPECT_EQ("failed", QueryValue(report, "result"));
  EXPECT_EQ("0", QueryValue(report, "time"));
  EXPECT_THAT(QueryValue(report, "download_time"),
              test::FullyMatches("[0-9]+"));
  EXPECT_EQ("(none)", QueryValue(report, "install_time"));
}

TEST_F(InstallerDataE2ETest, PathsGivenBySwitchesReachSetupUnwritten) {
  const std::wstring missing = dir_.Append(L"nowhere\\clids.xml");
  const std::wstring ours = dir_.Append(L"our_preferences.json");
  ASSERT_TRUE(test::WriteStringToFile(ours, "{\"ours\": true}"));
  ServeArchive(L"fake_setup_signed.exe");
  EXPECT_EQ(0u, Run(L"--silent \"--clids-file=" + missing +
                    L"\" \"--installerdata=" + ours + L"\""));
  std::optional<base::Json> report = SetupReport();
  ASSERT_TRUE(report.has_value()) << Log();
  EXPECT_EQ(base::WideToUTF8(missing), (*report)["switches"]["clids-file"]);
  EXPECT_EQ(false, (*report)["files"]["clids-file"]["exists"]);
  EXPECT_EQ(base::WideToUTF8(ours), (*report)["switches"]["installerdata"]);
  EXPECT_EQ("{\"ours\": true}", (*report)["files"]["installerdata"]["text"]);
  EXPECT_FALSE(test::PathExists(dir_.Append(L"clids.xml")));
  EXPECT_FALSE(test::PathExists(dir_.Append(L"master_preferences")));
}

// A slow download and a slow setup: the report's times cover both, in whole
// seconds, and each run has its own identifier.
TEST_F(InstallerDataE2ETest, TheReportIsTheLastRequestAndTimesTheRun) {
  const std::string archive =
      test::ReadFile(test::ExecutableDir() + L"\\fake_setup_signed.exe");
  ASSERT_FALSE(archive.empty());
  // About 1.5 s: eight pieces, 200 ms apart.
  ServeArchive(L"fake_setup_signed.exe",
               "\"trickle\": " + std::to_string(archive.size() / 8 + 1) +
                   ", \"trickle_ms\": 200");
  EXPECT_EQ(0u, Run(L"--silent --fake-setup-sleep-ms=1500"));
  const std::vector<test::RecordedRequest> all = RequestsButStatistics();
  ASSERT_FALSE(all.empty());
  const std::string report = all.back().path;
  EXPECT_THAT(report, test::FullyMatches(
                          "/get/browser/install\\?ui=[0-9A-F-]{36}&result="
                          "success&time=[0-9]+&download_time=[0-9]+&install_"
                          "time=[0-9]+"));
  const long long total = std::stoll(QueryValue(report, "time"));
  const long long download = std::stoll(QueryValue(report, "download_time"));
  const long long install = std::stoll(QueryValue(report, "install_time"));
  EXPECT_GE(download, 1);
  EXPECT_GE(install, 1);
  EXPECT_GE(total, download + install);

  ASSERT_TRUE(services_->Reset());
  ASSERT_TRUE(services_->AddRule(kReportPath, R"({"text": "ok"})"));
  ServeArchive(L"fake_setup_signed.exe");
  EXPECT_EQ(0u, Run(L"--silent"));
  const std::string second = TheReport();
  const std::string first_id = QueryValue(report, "ui");
  const std::string second_id = QueryValue(second, "ui");
  EXPECT_NE(first_id, second_id);
  const std::string user_id = base::WideToUTF8(
      test::ToLower(base::UTF8ToWide(broupdater::GetUserId())));
  ASSERT_FALSE(user_id.empty());
  for (const std::string& id : {first_id, second_id}) {
    EXPECT_THAT(id, test::FullyMatches("[0-9A-F-]{36}"));
    EXPECT_NE(user_id, base::WideToUTF8(test::ToLower(base::UTF8ToWide(id))));
  }
}

}  // namespace
