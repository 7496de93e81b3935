// The data files written for setup from this test program's own resources
// (it carries 305, 306, 323 and ABT_CONFIG, see CMakeLists.txt).

#include <windows.h>

#include <string>

#include "base/scoped_handle.h"
#include "base/strings.h"
#include "brand/brand_package_info.h"
#include "chrome/installer/lite_installer/installer.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_command_line.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The bytes of this program's "BIN" resource `name`; empty when absent.
std::string OwnResource(const wchar_t* name) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, name, L"BIN");
  if (!resource)
    return std::string();
  const char* bytes =
      static_cast<const char*>(::LockResource(::LoadResource(module, resource)));
  return std::string(bytes, ::SizeofResource(module, resource));
}

// Extraction as an installation does it, and the setup line it leads to.
class DataInstaller : public Installer {
 public:
  explicit DataInstaller(BrandPackageInfo* brand)
      : Installer(nullptr, brand, nullptr, false) {}

  bool ExtractResourceByName(const wchar_t* name,
                             const std::wstring& path) override {
    return Installer::ExtractResourceByName(
        abt_config_missing ? L"NO_SUCH_RESOURCE" : name, path);
  }

  void Extract(const std::wstring& dir) { ExtractInstallerDataIfAbsent(dir); }
  base::CommandLine SetupLine() {
    return BuildSetupCommandLine(L"C:\\setup.arc", true);
  }

  bool abt_config_missing = false;
};

class InstallerDataTest : public test::TestWithLog {
 protected:
  std::wstring Dir() const { return dir_.path() + L"\\"; }

  test::ScopedTempDir dir_;
  test::ScopedRegistryOverride registry_;
  test::ScopedCommandLine command_line_{L"inst.exe"};
  BrandPackageInfo brand_{Dir()};
};

TEST_F(InstallerDataTest, WritesEveryResourceUnchangedAndPassesItsPath) {
  DataInstaller installer(&brand_);
  installer.Extract(Dir());
  const struct {
    const wchar_t* file_name;
    const wchar_t* resource;
    const char* switch_name;
  } kFiles[] = {
      {L"master_preferences", MAKEINTRESOURCEW(305), "installerdata"},
      {L"clids.xml", MAKEINTRESOURCEW(306), "clids-file"},
      {L"website.ico", MAKEINTRESOURCEW(323), "norvel-website-icon-file"},
      {L"abt_config_resource", L"ABT_CONFIG", "abt-config-resource-file"},
  };
  const base::CommandLine line = installer.SetupLine();
  for (const auto& file : kFiles) {
    const std::string expected = OwnResource(file.resource);
    ASSERT_FALSE(expected.empty()) << file.file_name;
    EXPECT_EQ(expected, test::ReadFile(dir_.Append(file.file_name)))
        << file.file_name;
    EXPECT_EQ(Dir() + file.file_name, line.GetSwitchValue(file.switch_name));
  }
  EXPECT_THAT(Log(), Not(HasSubstr("Failed to extract resource")));
}

// What the build makes of our sources: the identifiers in windows-1251 with
// the vendor's Cyrillic name, the icon a real icon.
TEST_F(InstallerDataTest, ResourcesAreWhatSetupExpects) {
  const std::string clids = OwnResource(MAKEINTRESOURCEW(306));
  EXPECT_THAT(clids, HasSubstr("encoding=\"windows-1251\""));
  // "Норвел" in windows-1251; no UTF-8 lead bytes of Cyrillic anywhere.
  EXPECT_THAT(clids, HasSubstr("\xCD\xEE\xF0\xE2\xE5\xEB"));
  EXPECT_EQ(std::string::npos, clids.find('\xD0'));
  EXPECT_THAT(clids, HasSubstr("<vendor name="));
  EXPECT_THAT(clids, HasSubstr("<clid1>"));
  const std::string icon = OwnResource(MAKEINTRESOURCEW(323));
  ASSERT_GE(icon.size(), 6u);
  EXPECT_EQ(std::string("\0\0\1\0", 4), icon.substr(0, 4));
  EXPECT_THAT(OwnResource(L"ABT_CONFIG"), HasSubstr("\"seed_base64\": \""));
}

TEST_F(InstallerDataTest, MissingAbtConfigLeavesItsSwitchOff) {
  DataInstaller installer(&brand_);
  installer.abt_config_missing = true;
  installer.Extract(Dir());
  EXPECT_THAT(Log(), HasSubstr("WARNING: Failed to extract resource "
                               "abt_config_resource"));
  const base::CommandLine line = installer.SetupLine();
  EXPECT_FALSE(line.HasSwitch("abt-config-resource-file"));
  EXPECT_TRUE(line.HasSwitch("clids-file"));
}

TEST_F(InstallerDataTest, PathsGivenBySwitchesAreNotWritten) {
  const std::wstring clids = dir_.Append(L"elsewhere\\missing.xml");
  const std::wstring data = dir_.Append(L"given_preferences");
  ASSERT_TRUE(test::WriteStringToFile(data, "{}"));
  command_line_.Set(L"inst.exe \"--clids-file=" + clids +
                    L"\" \"--installerdata=" + data + L"\"");
  DataInstaller installer(&brand_);
  installer.Extract(Dir());
  EXPECT_FALSE(test::PathExists(dir_.Append(L"clids.xml")));
  EXPECT_FALSE(test::PathExists(dir_.Append(L"master_preferences")));
  EXPECT_EQ("{}", test::ReadFile(data));
  const base::CommandLine line = installer.SetupLine();
  EXPECT_EQ(clids, line.GetSwitchValue("clids-file"));
  EXPECT_EQ(data, line.GetSwitchValue("installerdata"));
}

// A file setup would find incomplete is never left: a target that cannot be
// created or written gives false, an error with the path, and no file.
TEST_F(InstallerDataTest, AnUnwritableTargetGivesFalseAndNoFile) {
  DataInstaller installer(&brand_);
  // Taken by a directory.
  const std::wstring taken = dir_.Append(L"clids.xml");
  ASSERT_TRUE(::CreateDirectoryW(taken.c_str(), nullptr));
  // Held open by another handle that shares nothing.
  const std::wstring held = dir_.Append(L"master_preferences");
  base::ScopedFileHandle holder(::CreateFileW(
      held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(holder.is_valid());
  installer.Extract(Dir());
  holder.reset();

  const std::string log = Log();
  for (const char* id : {"305", "306"})
    EXPECT_THAT(log, HasSubstr(std::string("WARNING: Failed to extract "
                                           "resource ") + id));
  EXPECT_THAT(log, HasSubstr("ERROR: Cannot create the installer data file " +
                             base::WideToUTF8(taken) + " - "));
  EXPECT_THAT(log, HasSubstr("ERROR: Cannot create the installer data file " +
                             base::WideToUTF8(held) + " - "));
  EXPECT_EQ("", test::ReadFile(held));
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY,
            ::GetFileAttributesW(taken.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  // The other two were written as usual.
  EXPECT_EQ(OwnResource(MAKEINTRESOURCEW(323)),
            test::ReadFile(dir_.Append(L"website.ico")));
}

}  // namespace
