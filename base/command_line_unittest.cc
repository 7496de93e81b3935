#include "base/command_line.h"

#include <windows.h>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(CommandLineTest, ParsesPrefixesCaseAndDropsPlainArguments) {
  CommandLine line = CommandLine::FromString(
      L"  \"C:\\dl\\inst.exe\" --Brand-Name=x /silent extra  ");
  EXPECT_EQ(L"C:\\dl\\inst.exe", line.GetProgram());
  ASSERT_EQ(2u, line.switches().size());
  EXPECT_EQ(L"x", line.GetSwitchValue("brand-name"));
  EXPECT_TRUE(line.HasSwitch("SILENT"));
  EXPECT_FALSE(line.HasSwitch("extra"));
  EXPECT_EQ(L"\"C:\\dl\\inst.exe\" --brand-name=x --silent",
            line.GetCommandLineString());

  for (const wchar_t* raw :
       {L"p --SILENT", L"p -silent", L"p /silent", L"p -Silent=1"}) {
    EXPECT_TRUE(CommandLine::FromString(raw).HasSwitch("silent")) << raw;
  }
}

TEST(CommandLineTest, LastValueWinsAndValuesKeepTheirCase) {
  CommandLine line = CommandLine::FromString(
      L"p --brand-name=One --BRAND-NAME=Two -x=a=b --empty=");
  EXPECT_EQ(L"Two", line.GetSwitchValue("brand-name"));
  EXPECT_EQ(L"a=b", line.GetSwitchValue("x"));
  EXPECT_TRUE(line.HasSwitch("empty"));
  EXPECT_EQ(L"", line.GetSwitchValue("empty"));
  EXPECT_EQ(L"p --brand-name=Two --empty --x=a=b", line.GetCommandLineString());
}

TEST(CommandLineTest, EmptyLineHasNoProgram) {
  EXPECT_EQ(L"", CommandLine::FromString(L"   ").GetProgram());
  EXPECT_TRUE(CommandLine::FromString(L"").switches().empty());
}

TEST(CommandLineTest, QuotingFollowsCommandLineToArgvRules) {
  EXPECT_EQ(L"plain", CommandLine::QuoteForCommandLine(L"plain"));
  EXPECT_EQ(L"\"a\\\"b\"", CommandLine::QuoteForCommandLine(L"a\"b"));
  EXPECT_EQ(L"\"C:\\my dir\\\\\"",
            CommandLine::QuoteForCommandLine(L"C:\\my dir\\"));
  EXPECT_EQ(L"\"C:\\dl\\inst.exe\"",
            CommandLine::QuoteForCommandLine(L"C:\\dl\\inst.exe"));
  EXPECT_EQ(L"\"a\\\\\\\"b\"", CommandLine::QuoteForCommandLine(L"a\\\"b"));
  // A value with a tab must not split into a second switch.
  EXPECT_EQ(L"\"a\t--b\"", CommandLine::QuoteForCommandLine(L"a\t--b"));

  // Whatever the value, the text form parses back to the same switches.
  CommandLine line(L"C:\\Program Files\\x.exe");
  const std::wstring nested =
      L"\"C:\\a b\\setup.exe\" --x=\"q\\\" r\" --path=\"C:\\d e\\\\\"";
  line.AppendSwitch("setup-cmd-line", nested);
  line.AppendSwitch("dir", L"C:\\my dir\\");
  line.AppendSwitch("quote", L"\"");
  line.AppendSwitch("tab", L"x\t--injected=1");
  CommandLine reparsed = CommandLine::FromString(line.GetCommandLineString());
  EXPECT_EQ(line.GetProgram(), reparsed.GetProgram());
  EXPECT_EQ(line.switches(), reparsed.switches());
}

TEST(CommandLineTest, AppendAndPresence) {
  CommandLine line(L"p");
  line.AppendSwitch("--Send-Statistics");
  line.AppendSwitchNarrow("brand-name", "yb");
  EXPECT_EQ("yb", line.GetSwitchValueNarrow("brand-name"));
  line.SetSwitchPresence("send-statistics", false);
  EXPECT_FALSE(line.HasSwitch("send-statistics"));
  line.SetSwitchPresence("/disablenrpin", true);
  EXPECT_EQ(L"p --brand-name=yb --disablenrpin", line.GetCommandLineString());
}

TEST(CommandLineTest, NarrowReadKeepsOnlyLowBytes) {
  CommandLine line(L"p");
  line.AppendSwitch("v", L"a\u0142b");  // U+0142 narrows to 0x42 'B'
  EXPECT_EQ("aBb", line.GetSwitchValueNarrow("v"));
}

TEST(CommandLineTest, ProcessCommandLineIsReplacedAndKeptAsGiven) {
  const uint32_t generation = CommandLine::ProcessCommandLineGeneration();
  CommandLine::InitForCurrentProcessForTesting(L"inst.exe --semi-silent");
  const CommandLine& line = CommandLine::ForCurrentProcess();
  EXPECT_EQ(generation + 1, CommandLine::ProcessCommandLineGeneration());
  EXPECT_EQ(L"inst.exe --semi-silent", line.GetCommandLineString());
  CommandLine::InitForCurrentProcessForTesting(::GetCommandLineW());
}

}  // namespace
}  // namespace base
