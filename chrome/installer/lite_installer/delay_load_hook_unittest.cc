#include "chrome/installer/lite_installer/delay_load_hook.h"

#include <cstring>
#include <string>

#include "gtest/gtest.h"
#include "test/support/test_support.h"

namespace lite_installer {
namespace {

DelayLoadInfo FailureOf(const char* dll, const char* function) {
  DelayLoadInfo info = {sizeof(info)};
  info.szDll = dll;
  info.dlp.fImportByName = TRUE;
  info.dlp.szProcName = function;
  return info;
}

TEST(DelayLoadHookTest, FailureTextsNameTheLibraryAndTheFunction) {
  char text[kDelayLoadTextSize];
  FormatDelayLoadFailure(dliFailLoadLib, FailureOf("wininet.dll", nullptr),
                         text);
  EXPECT_STREQ("Windows dll is not found: wininet.dll", text);
  FormatDelayLoadFailure(dliFailGetProc,
                         FailureOf("version.dll", "GetFileVersionInfoW"), text);
  EXPECT_STREQ("Function GetFileVersionInfoW not found in Windows dll "
               "version.dll",
               text);
  DelayLoadInfo by_ordinal = FailureOf("comctl32.dll", nullptr);
  by_ordinal.dlp.fImportByName = FALSE;
  by_ordinal.dlp.dwOrdinal = 345;
  FormatDelayLoadFailure(dliFailGetProc, by_ordinal, text);
  EXPECT_STREQ("Function #345 not found in Windows dll comctl32.dll", text);
}

TEST(DelayLoadHookTest, LongTextKeepsItsFirst127CharactersAndATerminator) {
  const std::string name(200, 'F');
  char text[kDelayLoadTextSize];
  std::memset(text, 'x', sizeof(text));
  FormatDelayLoadFailure(dliFailGetProc, FailureOf("a.dll", name.c_str()),
                         text);
  EXPECT_EQ("Function " + name.substr(0, 127 - 9), std::string(text));
  EXPECT_EQ('\0', text[127]);
}

TEST(DelayLoadHookTest, RecognisesUser32ByItsNameAlone) {
  EXPECT_TRUE(BeginsWithUser32("user32.dll"));
  EXPECT_TRUE(BeginsWithUser32("USER32.DLL"));
  EXPECT_TRUE(BeginsWithUser32("User32.dll.lite_missing.dll"));
  EXPECT_FALSE(BeginsWithUser32("user32.dl"));
  EXPECT_FALSE(BeginsWithUser32("user32"));
  EXPECT_FALSE(BeginsWithUser32("user33.dll"));
  EXPECT_FALSE(BeginsWithUser32("user32,dll"));
  EXPECT_FALSE(BeginsWithUser32("xuser32.dll"));
  EXPECT_FALSE(BeginsWithUser32(nullptr));
}

TEST(DelayLoadHookTest, NotesUser32OnceItIsBoundAndLetsBindingGoOn) {
  // This test program does not delay-load: only these calls reach the hook.
  DelayLoadInfo info = FailureOf("version.dll", "VerQueryValueW");
  EXPECT_EQ(nullptr, DelayLoadHook(dliNotePreLoadLibrary, &info));
  EXPECT_EQ(nullptr, DelayLoadHook(dliNotePreGetProcAddress, &info));
  EXPECT_FALSE(User32ReachedForTesting());
  info.szDll = "USER32.dll";
  EXPECT_EQ(nullptr, DelayLoadHook(dliNoteStartProcessing, &info));
  EXPECT_FALSE(User32ReachedForTesting());
  EXPECT_EQ(nullptr, DelayLoadHook(dliNotePreGetProcAddress, &info));
  EXPECT_TRUE(User32ReachedForTesting());
  info.szDll = "version.dll";
  EXPECT_EQ(nullptr, DelayLoadHook(dliNotePreLoadLibrary, &info));
  EXPECT_TRUE(User32ReachedForTesting()) << "it stays set";
}

// Answers whether this process's raw command line counts as silent.
LITE_CHILD_MAIN(SilentSwitchText) {
  return HasSilentSwitchText() ? 1 : 0;
}

TEST(DelayLoadHookTest, OnlyTheExactDoubleHyphenTextCountsAsSilent) {
  const struct {
    const wchar_t* switches;
    DWORD silent;
  } cases[] = {
      {L"--silent", 1},   {L"--silently", 1}, {L"x--silentx", 1},
      {L"/silent", 0},    {L"-silent", 0},    {L"--SILENT", 0},
      {L"--semi-silent", 0}, {L"", 0},
  };
  for (const auto& c : cases) {
    test::ChildProcess child = test::StartChild("SilentSwitchText", c.switches);
    ASSERT_TRUE(child.Wait(30000)) << c.switches;
    EXPECT_EQ(c.silent, child.exit_code()) << c.switches;
  }
}

}  // namespace
}  // namespace lite_installer
