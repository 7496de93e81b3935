#include "chrome/installer/norvel/util/statistics/install_stat_sender.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/scoped_handle.h"
#include "base/strings.h"
#include "chrome/installer/norvel/util/network/async_http_request_sender.h"
#include "chrome/installer/norvel/util/product_key.h"
#include "chrome/installer/norvel/util/registry.h"
#include "chrome/installer/norvel/util/statistics/stat_event.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "logging/user_id.h"
#include "test/support/fake_services.h"
#include "test/support/registry_override.h"
#include "test/support/stat_request.h"

namespace installer {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class InstallStatSenderTest : public test::TestWithServices {
 protected:
  std::unique_ptr<InstallStatSender> Make(int32_t type = 0,
                                          const std::wstring& hand_over = L"",
                                          int32_t target = 0) {
    return std::make_unique<InstallStatSender>(
        target, type, hand_over, std::map<std::string, std::wstring>(), 0,
        server().HttpsUrl(""),
        std::make_unique<install_util::AsyncHttpRequestSender>());
  }

  // The variable list of a URL the sender built, as raw text.
  static std::string Vars(const std::wstring& url) {
    const std::string text = base::WideToUTF8(url);
    const size_t at = text.find("/vars=");
    return at == std::string::npos ? "" : text.substr(at + 6);
  }

  test::ScopedRegistryOverride registry_;
};

TEST(StatEventTest, EscapeForStatisticsKeepsOnlyUnreservedAscii) {
  EXPECT_EQ("aZ09!'()._~", EscapeForStatistics("aZ09!'()._~"));
  EXPECT_EQ("%2F%3A%20%25%2D%2C%3D%2A", EscapeForStatistics("/: %-,=*"));
  EXPECT_EQ("%C3%BC", EscapeForStatistics("\xC3\xBC"));
  // Twice, as the download events send URLs: the slash and the space.
  EXPECT_EQ("%252Fa%2520b",
            EscapeForStatistics(EscapeForStatistics("/a b")));
}

TEST_F(InstallStatSenderTest, ConstructionSetsTheCommonParameters) {
  ASSERT_TRUE(StoreProductValue(L"pv", L"20.1.0.5"));
  auto sender = Make();
  const std::string ui = broupdater::GetUserId();
  ASSERT_FALSE(ui.empty());
  const auto params = sender->params();
  EXPECT_EQ(L"false", params.at("launched"));
  EXPECT_EQ(base::UTF8ToWide(ui), params.at("ui"));
  EXPECT_EQ(L"20.1.0.5", params.at("old_ver"));
  EXPECT_EQ(L"lite", params.at("installer_type"));
  // The test program carries no version resource.
  EXPECT_EQ(L"0.0.0.0", params.at("lite_ver"));
  EXPECT_EQ(0u, params.count("ver"));

  // "npv" wins over "pv"; an updater sends "ver", not "lite_ver".
  ASSERT_TRUE(StoreProductValue(L"npv", L"21.0.0.1"));
  auto updater = Make(InstallStatSender::kTypeUpdater);
  EXPECT_EQ(L"21.0.0.1", updater->params().at("old_ver"));
  EXPECT_EQ(L"updater", updater->params().at("installer_type"));
  EXPECT_EQ(1u, updater->params().count("ver"));
  EXPECT_EQ(0u, updater->params().count("lite_ver"));
  EXPECT_EQ("21.0.0.1", updater->GetOldVersion());
}

TEST_F(InstallStatSenderTest, QueryUrlMergesSortsAndEscapes) {
  auto sender = Make();
  sender->SetBrandId("int");
  sender->SetBannerId("a-b=c,d");
  const std::wstring url =
      sender->GetQueryUrl({{"action", L"installer_started"},
                           {"brand_id", L"event's own"},
                           {"zz_extra", L"x y/z"}});
  EXPECT_EQ(0u, base::WideToUTF8(url).find(server().HttpsUrl(
                    "/installstats/send/dtype=stred/pid=457/cid=72992/"
                    "path=extended_stat/vars=-")));
  // The identifier's dashes are list delimiters too.
  std::string ui = broupdater::GetUserId();
  std::replace(ui.begin(), ui.end(), '-', '_');
  // Ascending names; the common brand id wins; , - = become _; the rest of
  // a value is escaped as one path segment.
  EXPECT_EQ("-action=installer_started,-banner_id=a_b_c_d,-brand_id=int,"
            "-installer_type=lite,-launched=false,-lite_ver=0.0.0.0,"
            "-old_style=0,-old_ver=,-ui=" + ui + ",-zz_extra=x%20y%2Fz/*",
            Vars(url));
  EXPECT_THAT(Log(), HasSubstr("INFO: InstallStatSender::Send: ("));
  EXPECT_THAT(Log(), HasSubstr("INFO: banner_id=a-b=c,d ("));

  // Without a brand id the request says "unknown"; a target other than 0
  // is sent by name.
  auto untargeted = Make(0, L"", 4);
  EXPECT_THAT(Vars(untargeted->GetQueryUrl({})),
              HasSubstr("-brand_id=unknown,"));
  EXPECT_THAT(Vars(untargeted->GetQueryUrl({})), HasSubstr(",-target=icu_dat"));
  auto old_style = Make(InstallStatSender::kTypeOldStyle, L"", 2);
  EXPECT_THAT(Vars(old_style->GetQueryUrl({})),
              HasSubstr(",-installer_type=service,"));
  EXPECT_THAT(Vars(old_style->GetQueryUrl({})), HasSubstr(",-old_style=1,"));
}

// Characters outside ASCII go out as the escaped bytes of their UTF-8 form,
// so the service reads the text back whole (the installer's tests send such
// values over the network).
TEST_F(InstallStatSenderTest, NonAsciiValuesArriveAsUtf8) {
  auto sender = Make();
  const std::wstring latin = L"M\u00fcnchen";
  const std::wstring cyrillic = L"\u0416\u0443\u043a";
  const std::wstring cjk = L"\u4e2d\u6587 ok";
  sender->SetBannerId(base::WideToUTF8(latin));
  sender->SetNorvelUid(base::WideToUTF8(cyrillic));
  sender->SetDistrNorvelUid(base::WideToUTF8(cjk));
  const std::string vars = Vars(sender->GetQueryUrl({}));
  EXPECT_THAT(vars, HasSubstr("-banner_id=M%C3%BCnchen,"));
  EXPECT_THAT(vars, HasSubstr("-norvel_uid=%D0%96%D1%83%D0%BA,"));
  EXPECT_THAT(vars, HasSubstr("-distr_norvel_uid=%E4%B8%AD%E6%96%87%20ok,"));

  // Decoded as the service does, each reads back whole.
  std::optional<test::StatRequest> request = test::DecodeStatRequest(
      base::WideToUTF8(sender->GetQueryUrl({})).substr(server().HttpsUrl("").size()));
  ASSERT_TRUE(request.has_value());
  EXPECT_EQ(base::WideToUTF8(latin), request->Get("banner_id"));
  EXPECT_EQ(base::WideToUTF8(cyrillic), request->Get("norvel_uid"));
  EXPECT_EQ(base::WideToUTF8(cjk), request->Get("distr_norvel_uid"));
}

TEST_F(InstallStatSenderTest, ReinstallDialogKindAppliesToItsOwnRequestOnly) {
  auto sender = Make();
  ASSERT_TRUE(sender->SendReinstallDialogEvent({{"clicked_button", L"close"}}));
  ASSERT_TRUE(sender->Send({{"action", L"after"}}));
  std::vector<test::StatRequest> requests =
      test::WaitForStatRequests(server(), 2, 10000, since_);
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ("72696", requests[0].counter_id);
  EXPECT_EQ("nrbrowser_reinstall_dialog", requests[0].path);
  EXPECT_EQ("close", requests[0].Get("clicked_button"));
  EXPECT_EQ("72992", requests[1].counter_id);
  EXPECT_EQ("extended_stat", requests[1].path);
}

TEST_F(InstallStatSenderTest, HandOverRoundTripAndRemovalOnDestruction) {
  auto sender = Make();
  sender->SetBrowserPresent("user");
  sender->SetOldVersion("1.2.3.4");
  ASSERT_TRUE(sender->SaveForHandOver());
  const std::wstring text = ReadProductValue(InstallStatSender::kHandOverValue);
  EXPECT_THAT(base::WideToUTF8(text), HasSubstr("browser_present\nuser\n"));
  EXPECT_EQ(sender->GetHandOverText(), text);

  // A second process inherits every parameter; its own construction still
  // recomputes "launched".
  auto child = Make(0, text);
  EXPECT_EQ("user", child->GetBrowserPresent());
  EXPECT_EQ("1.2.3.4", child->GetOldVersion());
  EXPECT_EQ(sender->params(), child->params());

  // Empty name lines start no pair; the last value may lack its line feed;
  // a later pair replaces an earlier one.
  auto parsed = Make(InstallStatSender::kTypeUpdater,
                     L"\n\nold_ver\n1\nold_ver\n2\n\nlaunched\ntrue\nzilva\nz");
  EXPECT_EQ(L"2", parsed->params().at("old_ver"));
  EXPECT_EQ(L"true", parsed->params().at("launched"));
  EXPECT_EQ(L"z", parsed->params().at("zilva"));

  // The updater type leaves the value alone; the lite type removes it.
  parsed.reset();
  EXPECT_EQ(text, ReadProductValue(InstallStatSender::kHandOverValue));
  child.reset();
  EXPECT_EQ(L"", ReadProductValue(InstallStatSender::kHandOverValue));
}

TEST_F(InstallStatSenderTest, LaunchedWhenTheBrowsersGlobalEventExists) {
  const std::wstring line = L"\"C:\\Program Files\\Norvel\\Browser.EXE\"";
  EXPECT_EQ(L"Global\\c:!program files!norvel!browser.exe",
            LaunchedEventName(line));
  EXPECT_EQ(L"", LaunchedEventName(L"\"\""));
  ASSERT_TRUE(StoreProductValue(L"InstallerSuccessLaunchCmdLine", line));
  EXPECT_EQ(L"false", Make()->params().at("launched"));
  {
    base::ScopedKernelHandle event(
        ::CreateEventW(nullptr, TRUE, FALSE, LaunchedEventName(line).c_str()));
    ASSERT_TRUE(event.is_valid());
    EXPECT_EQ(L"true", Make()->params().at("launched"));
  }
  EXPECT_EQ(L"false", Make()->params().at("launched"));
}

// Destruction lets the last queued requests leave, within its bound.
TEST_F(InstallStatSenderTest, DestructionSendsWhatIsQueued) {
  auto sender = Make();
  for (int i = 0; i < 5; ++i)
    ASSERT_TRUE(sender->Send({{"n", std::to_wstring(i)}}));
  const DWORD start = ::GetTickCount();
  sender.reset();
  EXPECT_LT(::GetTickCount() - start, InstallStatSender::kShutdownWaitMs + 1000);
  std::vector<test::StatRequest> requests =
      test::WaitForStatRequests(server(), 5, 5000, since_);
  ASSERT_EQ(5u, requests.size());
  EXPECT_EQ("4", requests[4].Get("n"));
}

}  // namespace
}  // namespace installer
