#include "chrome/installer/lite_installer/dialog_addresses.h"

#include "brand/brand_package_info.h"
#include "chrome/installer/lite_installer/installer.h"
#include "chrome/installer/lite_installer/notice_dialogs.h"
#include "deployment_config.h"
#include "gtest/gtest.h"
#include "test/support/fixed_distrib_params.h"
#include "test/support/rect_operators.h"
#include "test/support/scoped_command_line.h"
#include "test/support/test_support.h"

namespace lite_installer {
namespace {

TEST(DialogAddressesTest, TheDownloadPageAndTheOtherPagesHaveTheirOwnCountrySuffixes) {
  // "ua" keeps its own country only for the download page.
  EXPECT_EQ("https://site.ua/download?full=1&code=lite_install_failed",
            FailureDownloadAddress("site", "ua", {}));
  EXPECT_EQ("https://site.ru/feedback/?from=installer", FeedbackAddress("site", "ua"));
  EXPECT_EQ("https://portal.ru/support/browser/about/install.xml", SupportAddress("portal", "ua"));
  EXPECT_EQ("https://site.com.tr/?from=installer", BrowserSiteAddress("site", "tb"));
  EXPECT_EQ("com.tr", DownloadPageSuffix("tb"));
  EXPECT_EQ("by", DownloadPageSuffix("by"));
  EXPECT_EQ("ru", SitePageSuffix("by"));
  EXPECT_EQ("com", SitePageSuffix("int"));
  EXPECT_EQ("ua", SitePageSuffix("ua-uk"));
  // Anything unknown, the empty id and a different case included, is ".ru".
  for (const char* id : {"", "zz", "UA", "norvel"}) {
    EXPECT_EQ("ru", DownloadPageSuffix(id)) << id;
    EXPECT_EQ("ru", SitePageSuffix(id)) << id;
  }
}

TEST(DialogAddressesTest, TheFailurePageForwardsItsOwnKeysInKeyOrder) {
  EXPECT_EQ("https://s.ru/download?banerid=b&partner_id=p1&full=1&code=lite_install_failed",
            FailureDownloadAddress("s", "", {{"partner_id", "p1"}, {"zz", "x"}, {"banerid", "b"}}));
  std::map<std::string, std::string> all;
  for (const std::string& key : FailurePageKeys())
    all[key] = "v";
  const std::string address = FailureDownloadAddress("s", "", all);
  EXPECT_EQ(
      "https://s.ru/download?banerid=v&beta=v&betacusto=v&bgid=v&calypso=v&custo=v&expcalypso=v&"
      "football=v&lang=v&nrpartner_id=v&partner_id=v&tablo=v&full=1&code=lite_install_failed",
      address);
}

TEST(DialogAddressesTest, HostileValuesArriveEscaped) {
  // A quote and a space would split the address into two arguments of the
  // URL handler; "&" and "=" stay, as in any query.
  EXPECT_EQ("a%22%20--x%3Cb%3E%27c%0D%0A%7F%C3%A9&d=e%",
            EscapeForwardedValue("a\" --x<b>'c\r\n\x7f\xc3\xa9&d=e%"));
  EXPECT_EQ("https://s.ru/download?lang=r%20u&full=1&code=lite_install_failed",
            FailureDownloadAddress("s", "", {{"lang", "r u"}}));
}

class DialogFactoryTest : public ::testing::Test {
 protected:
  test::ScopedTempDir dir_;
  BrandPackageInfo brand_{dir_.path() + L"\\"};
  test::FixedDistribParams params_;
  std::unique_ptr<DialogFactory> factory_ = CreateDialogFactory();
};

TEST_F(DialogFactoryTest, TheBrandValueChoosesTheFamilyAtEachCallButNotForErrors) {
  brand_.brand_id_ = "ua";
  auto title = [](const std::unique_ptr<NoticeDialog>& dialog) {
    return dialog ? dialog->content().title : 0u;
  };
  EXPECT_EQ(454u, title(factory_->CreateSetupNotice(0, &brand_, &params_)));
  EXPECT_EQ(497u, title(factory_->CreateSetupNotice(3, &brand_, &params_)));
  const auto classic_corporate = factory_->CreateSetupNotice(4, &brand_, &params_);
  EXPECT_EQ(491u, title(classic_corporate));
  EXPECT_EQ(496u, classic_corporate->content().secondary);
  const auto classic_cancel = factory_->CreateCancelConfirmation(&brand_, &params_);
  EXPECT_EQ(419u, title(classic_cancel));
  EXPECT_TRUE(classic_cancel->content().right_aligned);
  const auto classic_xp = factory_->CreateUnsupportedSystemNotice(&brand_);
  EXPECT_EQ(475u, title(classic_xp));
  EXPECT_EQ(SupportAddress(deployment::kPortalHostStem, "ua"), classic_xp->content().address);
  // Errors are redesigned whatever the value.
  EXPECT_EQ(438u, title(factory_->CreateErrorDialogFactory(&brand_, &params_)->CreateForErrorKind(
                      kInstallErrorElevatedAnotherInstance)));

  brand_.new_identity_dialogs_redesign_ = true;
  EXPECT_EQ(456u, title(factory_->CreateSetupNotice(0, &brand_, &params_)));
  EXPECT_EQ(499u, title(factory_->CreateSetupNotice(3, &brand_, &params_)));
  EXPECT_EQ(493u, title(factory_->CreateSetupNotice(4, &brand_, &params_)));
  const auto cancel = factory_->CreateCancelConfirmation(&brand_, &params_);
  EXPECT_EQ(422u, title(cancel));
  EXPECT_EQ(503u, cancel->content().primary);
  EXPECT_EQ(504u, cancel->content().secondary);
  EXPECT_EQ(477u, title(factory_->CreateUnsupportedSystemNotice(&brand_)));
}

TEST_F(DialogFactoryTest, ErrorKindsChooseTheirDialogsAndAddresses) {
  brand_.brand_id_ = "ua";
  params_.values = {{"partner_id", "p1"}, {"zz", "x"}, {"banerid", "b"}};
  const std::string site = deployment::kBrowserSiteHostStem;
  struct Case {
    int kind;
    UINT title;
    DialogAction action;
    std::string address;
  } cases[] = {
      {1, 433, DialogAction::kOpenAddress,
       "https://" + site + ".ua/download?banerid=b&partner_id=p1&full=1&code=lite_install_failed"},
      {2, 433, DialogAction::kOpenAddress,
       "https://" + site + ".ua/download?banerid=b&partner_id=p1&full=1&code=lite_install_failed"},
      {3, 442, DialogAction::kClose, ""},
      {4, 445, DialogAction::kOpenAddress, "https://" + site + ".ru/?from=installer"},
      {5, 448, DialogAction::kStartBrowser, ""},
      {6, 450, DialogAction::kOpenAddress, "https://" + site + ".ru/feedback/?from=installer"},
      {7, 438, DialogAction::kOpenAddress, "https://" + site + ".ru/feedback/?from=installer"},
      {8, 433, DialogAction::kOpenAddress,
       "https://" + site + ".ua/download?banerid=b&partner_id=p1&full=1&code=lite_install_failed"},
  };
  std::unique_ptr<ErrorDialogFactory> errors = factory_->CreateErrorDialogFactory(&brand_, &params_);
  EXPECT_EQ(nullptr, errors->CreateForErrorKind(kInstallErrorNone));
  for (const Case& c : cases) {
    std::unique_ptr<NoticeDialog> dialog = errors->CreateForErrorKind(c.kind);
    ASSERT_TRUE(dialog) << c.kind;
    EXPECT_EQ(c.title, dialog->content().title) << c.kind;
    EXPECT_EQ(c.action, dialog->content().action) << c.kind;
    EXPECT_EQ(c.address, dialog->content().address) << c.kind;
  }
  // With the switch, the download dialogs point to the log instead.
  test::ScopedCommandLine command_line(L"lite_installer.exe --disable-error-dialog-download-button");
  for (int kind : {1, 2, 8, 9}) {
    std::unique_ptr<NoticeDialog> dialog = errors->CreateForErrorKind(kind);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(435u, dialog->content().title) << kind;
    EXPECT_EQ("https://" + site + ".ru/feedback/?from=installer", dialog->content().address);
  }
  EXPECT_EQ(442u, errors->CreateForErrorKind(3)->content().title);
}

TEST(NoticeDialogLayoutTest, RedesignedDialogsAreSizedToTheirTexts) {
  // Title 200 x 24, body 300 x 36, labels 50 and 40 wide, 16 high.
  RedesignedLayout layout =
      ComputeRedesignedLayout(1.0, {200, 24}, {300, 36}, {50, 16}, {40, 16}, true, true);
  EXPECT_EQ(380, layout.window.cx);  // 30 + 50 + the body
  EXPECT_EQ(196, layout.window.cy);  // 30 + 24 + 16 + 36 + 24 + 36 + 30
  EXPECT_EQ((RECT{30, 70, 330, 106}), layout.body);
  EXPECT_EQ((RECT{268, 130, 340, 166}), layout.secondary);  // ends 40 from the right
  EXPECT_EQ((RECT{176, 130, 258, 166}), layout.primary);    // 10 left of it
  // A long label makes the buttons decide the width; no body, one button.
  layout = ComputeRedesignedLayout(2.0, {100, 48}, {0, 0}, {400, 32}, {0, 0}, false, false);
  EXPECT_EQ(60 + 80 + 400 + 64, layout.window.cx);
  EXPECT_EQ(60 + 48 + 48 + 32 + 40 + 60, layout.window.cy);
  EXPECT_EQ((RECT{0, 0, 0, 0}), layout.body);
  EXPECT_EQ(layout.window.cx - 80, layout.primary.right);
}

TEST(NoticeDialogLayoutTest, TheShadowHasNoRadiusBeforeWindowsEight) {
  RedesignedShadowMetrics s = ComputeRedesignedShadowMetrics(1.25, 4);
  EXPECT_EQ(10, s.m);
  EXPECT_EQ(1, s.e);
  EXPECT_EQ(0, s.r);
  EXPECT_EQ(11, s.c);
  s = ComputeRedesignedShadowMetrics(1.25, 5);
  EXPECT_EQ(20, s.r);
  EXPECT_EQ(21, s.g);
  EXPECT_EQ(31, s.c);
}

}  // namespace
}  // namespace lite_installer
