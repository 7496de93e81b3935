#include "brand/distrib_info_params.h"

#include <memory>
#include <string>

#include "brand/brand_package_info.h"
#include "chrome/installer/norvel/util/registry.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;

std::map<std::string, std::string> Parse(std::string_view text) {
  std::map<std::string, std::string> params;
  DistribInfoParams::ParseText(text, &params);
  return params;
}

TEST(DistribInfoParamsTextTest, ItemsKeysAndValues) {
  EXPECT_THAT(Parse("a=1&b&c=x=y&a=2"),
              ElementsAre(Pair("a", "2"), Pair("b", ""), Pair("c", "x=y")));
  EXPECT_THAT(Parse("&"), ElementsAre(Pair("", "")));
  EXPECT_THAT(Parse("k=v"), ElementsAre(Pair("k", "v")));
  EXPECT_THAT(Parse("k"), ElementsAre(Pair("k", "")));
  EXPECT_THAT(Parse("=v"), ElementsAre(Pair("", "v")));
  // No decoding, no trimming.
  EXPECT_THAT(Parse(" a = %20&b=&"),
              ElementsAre(Pair("", ""), Pair(" a ", " %20"), Pair("b", "")));
}

// Reads the tag from a chosen file instead of the test executable.
class TestDistribInfoParams : public DistribInfoParams {
 public:
  std::wstring GetExecutablePath() const override { return executable; }
  std::wstring executable;
};

class DistribInfoParamsTest : public test::TestWithLog {
 protected:
  test::ScopedTempDir dir_;
  test::ScopedTempPathOverride tmp_{dir_.path()};
  test::ScopedRegistryOverride registry_;
};

TEST_F(DistribInfoParamsTest, SwitchValueIsStoredAndWrittenForSetup) {
  TestDistribInfoParams params;
  params.set_given_text("scup=1&banerid=42&lang=kk");
  params.executable = L"C:\\does\\not\\exist.exe";
  ASSERT_TRUE(params.Load());
  EXPECT_EQ(dir_.path() + L"\\distrib_info", params.distrib_info_path());
  EXPECT_EQ("{\"banerid\":\"42\",\"lang\":\"kk\",\"scup\":\"1\"}",
            test::ReadFile(dir_.Append(L"distrib_info")));
  EXPECT_EQ(L"scup=1&banerid=42&lang=kk",
            installer::ReadProductValue(L"DistribInfoParams"));
  std::string value;
  EXPECT_TRUE(params.Get("banerid", &value));
  EXPECT_EQ("42", value);
  EXPECT_FALSE(params.Get("BANERID", &value));
}

TEST_F(DistribInfoParamsTest, NoParametersWriteNothing) {
  // An empty switch falls through to the tag, and this file has none.
  TestDistribInfoParams params;
  params.set_given_text("");
  params.executable = test::ExecutableDir() + L"\\brand_unittests.exe";
  EXPECT_FALSE(params.Load());
  EXPECT_TRUE(params.distrib_info_path().empty());
  EXPECT_TRUE(params.params().empty());
  EXPECT_FALSE(test::PathExists(dir_.Append(L"distrib_info")));
  EXPECT_EQ(L"", installer::ReadProductValue(L"DistribInfoParams"));
}

TEST_F(DistribInfoParamsTest, UnwritableFileKeepsItsPath) {
  // A directory where the file should go makes the write fail.
  ASSERT_TRUE(
      ::CreateDirectoryW(dir_.Append(L"distrib_info").c_str(), nullptr));
  TestDistribInfoParams params;
  params.set_given_text("a=1");
  EXPECT_TRUE(params.Load());
  EXPECT_EQ(dir_.path() + L"\\distrib_info", params.distrib_info_path());
  EXPECT_THAT(Log(), HasSubstr("ERROR: Write json to file error - "));
  EXPECT_THAT(
      Log(), HasSubstr("((anonymous namespace)::CreateJsonFromDistribParams:"));
}

TEST_F(DistribInfoParamsTest, Flags) {
  TestDistribInfoParams params;
  params.set_given_text("on=1&off=2&odd=3&empty");
  params.Load();
  bool on = true;
  EXPECT_TRUE(params.GetFlag("on", &on));
  EXPECT_TRUE(on);
  EXPECT_TRUE(params.GetFlag("off", &on));
  EXPECT_FALSE(on);
  on = true;
  EXPECT_FALSE(params.GetFlag("odd", &on));
  EXPECT_FALSE(on);
  EXPECT_FALSE(params.GetFlag("empty", &on));
  EXPECT_FALSE(params.GetFlag("missing", &on));
}

TEST_F(DistribInfoParamsTest, TestIdsMerge) {
  BrandPackageInfo brand(dir_.path() + L"\\");
  brand.test_ids_ = {{"10", ""}, {"20", "b"}};
  TestDistribInfoParams params;
  params.set_given_text("testids=20/c, 30 ,10/,,a/b/c");
  params.Load();
  EXPECT_THAT(
      lite_installer::CombineBrandAndDistribTestIds(&brand, &params),
      ElementsAre(TestId{"10", ""}, TestId{"20", "c"}, TestId{"30", ""}));
  EXPECT_THAT(Log(), HasSubstr("INFO: Duplicate testid found: 20 ("));
  EXPECT_THAT(Log(), HasSubstr("INFO: Duplicate testid found: 10 ("));
  EXPECT_THAT(
      lite_installer::CombineBrandAndDistribTestIds(nullptr, &params),
      ElementsAre(TestId{"20", "c"}, TestId{"30", ""}, TestId{"10", ""}));
  EXPECT_THAT(lite_installer::CombineBrandAndDistribTestIds(&brand, nullptr),
              ElementsAre(TestId{"10", ""}, TestId{"20", "b"}));
}

TEST_F(DistribInfoParamsTest, PinTrialState) {
  BrandPackageInfo brand(dir_.path() + L"\\");
  const std::string plain;
  brand.pin_trial_state_ = "2";
  EXPECT_EQ(1, lite_installer::GetNrpinTrialState(nullptr, brand, plain));
  EXPECT_THAT(Log(), HasSubstr("WARNING: No install.pin for nrpin_state=2 ("));

  brand.has_install_pin_ = true;
  EXPECT_EQ(2, lite_installer::GetNrpinTrialState(nullptr, brand, plain));
  brand.pin_trial_state_.clear();
  EXPECT_EQ(0, lite_installer::GetNrpinTrialState(nullptr, brand, plain));
  for (auto [value, expected] :
       {std::pair{"3", 3}, {"4", 0}, {"x", 0}, {"-1", 0}, {"2x", 0}}) {
    EXPECT_EQ(expected,
              lite_installer::GetNrpinTrialState(nullptr, brand, value))
        << value;
  }
  TestDistribInfoParams params;
  params.set_given_text("nrpin=1");
  params.Load();
  EXPECT_EQ(1, lite_installer::GetNrpinTrialState(&params, brand, plain));
}

}  // namespace
