// A whole silent installation: lite_installer_local.exe downloads the signed
// fake setup from the loopback services, verifies it and runs it.

#include <windows.h>

#include <string>
#include <vector>

#include "base/json.h"
#include "base/strings.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/e2e/e2e_support.h"
#include "test/support/fake_services.h"
#include "test/support/test_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

using SilentInstallE2ETest = e2e::LocalInstallTest;

TEST_F(SilentInstallE2ETest, DownloadsVerifiesAndRunsSetup) {
  ServeArchive(L"fake_setup_signed.exe");
  EXPECT_EQ(0u, Run(L"--silent --send-statistics"));
  std::optional<base::Json> report = SetupReport();
  ASSERT_TRUE(report.has_value()) << Log();

  // The archive was downloaded once, over HTTPS, from the brand's URL; the
  // report came last (statistics requests leave on a thread of their own).
  std::vector<test::RecordedRequest> requests = RequestsTo(kArchivePath);
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("https", requests[0].scheme);
  EXPECT_EQ(std::string(kArchivePath) + "?from_installer=true",
            requests[0].path);
  const std::vector<test::RecordedRequest> all = RequestsButStatistics();
  ASSERT_FALSE(all.empty());
  EXPECT_THAT(all.back().path, HasSubstr("/get/browser/install?ui="));

  // Setup's command line, switch by switch, in ascending name order.
  const base::Json& switches = (*report)["switches"];
  std::vector<std::string> names;
  for (const auto& name : (*report)["switch_order"])
    names.push_back(name.get<std::string>());
  EXPECT_THAT(names,
              ElementsAre("abt-config-resource-file", "abt-update-path",
                          "brand-name", "brand-package", "clids-file",
                          "fake-setup-report", "install-start-time-no-uac",
                          "installer-brand-id", "installerdata",
                          "norvel-website-icon-file", "progress-window",
                          "send-statistics", "silent", "source", "testids",
                          "variations-update-path", "verbose-logging"));
  EXPECT_EQ("lite", switches["source"]);
  EXPECT_EQ("local", switches["brand-name"]);
  EXPECT_EQ("local", switches["installer-brand-id"]);
  EXPECT_EQ("0", switches["progress-window"]);
  EXPECT_EQ("local-1/a", switches["testids"]);
  EXPECT_EQ("", switches["verbose-logging"]);
  // The brand package setup receives is the one written for it.
  EXPECT_EQ(true, (*report)["files"]["brand-package"]["exists"]);
  // Setup ran from the downloaded archive, which is gone now.
  EXPECT_THAT(Log(), HasSubstr("INFO: Verification succeeded: "));
  EXPECT_THAT(Log(), HasSubstr("INFO: Installer exit with code: 0 ("));
  EXPECT_FALSE(ArchiveLeftBehind());
}

TEST_F(SilentInstallE2ETest, SetupExitCodesSevenAndEight) {
  ServeArchive(L"fake_setup_signed.exe");
  for (int code : {7, 8}) {
    EXPECT_EQ(static_cast<DWORD>(code),
              Run(L"--silent --fake-setup-exit-code=" + std::to_wstring(code)));
    EXPECT_THAT(Log(), HasSubstr("INFO: Setup process exit with code: "
                                 "SUCCESS_EXIT_CODE(0); error: " +
                                 std::to_string(code) + " ("));
    EXPECT_FALSE(ArchiveLeftBehind());
  }
}

TEST_F(SilentInstallE2ETest, UnsignedArchiveIsRefusedAndNeverRuns) {
  ServeArchive(L"fake_setup.exe");  // the same program, unsigned
  EXPECT_EQ(402u, Run(L"--silent"));
  EXPECT_FALSE(SetupReport().has_value());
  EXPECT_THAT(Log(), HasSubstr("ERROR: Module verification failed: "));
  EXPECT_THAT(Log(), HasSubstr("INFO: Installer exit with code: 402 ("));
  EXPECT_FALSE(ArchiveLeftBehind());
}

// The signed archive with one byte of its signed content changed on the way.
// The changed byte is padding: started directly, the program still runs, so
// only the refusal keeps the installer from running it.
TEST_F(SilentInstallE2ETest, TamperedArchiveIsRefusedAndNeverRuns) {
  ServeArchive(L"fake_setup_flipped.exe");
  EXPECT_EQ(402u, Run(L"--silent"));
  EXPECT_FALSE(SetupReport().has_value());
  const std::string log = Log();
  EXPECT_THAT(log, HasSubstr("ERROR: Module verification failed: "));
  EXPECT_THAT(log, Not(HasSubstr("INFO: Verification succeeded: ")));
  EXPECT_THAT(log, HasSubstr("INFO: Installer exit with code: 402 ("));
  EXPECT_FALSE(ArchiveLeftBehind());

  test::ChildProcess direct;
  ASSERT_TRUE(direct.Start(
      L"\"" + test::ExecutableDir() +
      L"\\fake_setup_flipped.exe\" \"--fake-setup-report=" + Report() + L"\""));
  ASSERT_TRUE(direct.Wait(60000));
  EXPECT_EQ(0u, direct.exit_code());
  EXPECT_TRUE(SetupReport().has_value());
}

// Validly signed, under a root the machine trusts, by a publisher that the
// archive's own trusted list does not name.
TEST_F(SilentInstallE2ETest, ArchiveOfAnUnlistedPublisherIsRefused) {
  ServeArchive(L"fake_setup_other_signer.exe");
  EXPECT_EQ(402u, Run(L"--silent"));
  EXPECT_FALSE(SetupReport().has_value());
  const std::string log = Log();
  EXPECT_THAT(log, HasSubstr("ERROR: Can not find sertificate in trusted "
                             "list. "));
  EXPECT_THAT(log, HasSubstr("ERROR: Module verification failed: "));
  EXPECT_THAT(log, HasSubstr("INFO: Installer exit with code: 402 ("));
  EXPECT_FALSE(ArchiveLeftBehind());
}

// "setup_arc_permanent_lock" holds the archive from its creation: the
// installation goes through the lock's reopening and runs setup as usual.
TEST_F(SilentInstallE2ETest, PermanentLockRunsSetup) {
  ServeArchive(L"fake_setup_signed.exe");
  EXPECT_EQ(0u,
            Run(L"--silent --distr-info-params=setup_arc_permanent_lock=1"));
  EXPECT_TRUE(SetupReport().has_value()) << Log();
  EXPECT_THAT(Log(), Not(HasSubstr("Cannot lock file")));
  EXPECT_THAT(Log(), HasSubstr("INFO: Verification succeeded: "));
  EXPECT_FALSE(ArchiveLeftBehind());
}

}  // namespace
