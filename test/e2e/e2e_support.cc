#include "test/e2e/e2e_support.h"

namespace e2e {

test::ChildProcess StartInstaller(const std::wstring& exe,
                                  const std::wstring& switches,
                                  const std::wstring& temp_dir) {
  test::ChildProcess process;
  EXPECT_TRUE(process.Start(
      L"\"" + test::ExecutableDir() + L"\\" + exe + L"\" " + switches,
      {{L"TMP", temp_dir}, {L"TEMP", temp_dir}}));
  return process;
}

DWORD RunInstaller(const std::wstring& exe,
                   const std::wstring& switches,
                   const std::wstring& temp_dir) {
  test::ChildProcess process = StartInstaller(exe, switches, temp_dir);
  const bool ended = process.Wait(kRunTimeoutMs);
  EXPECT_TRUE(ended);
  return ended ? process.exit_code() : 0xDEAD;
}

bool RunInstallerUntil(const std::wstring& exe,
                       const std::wstring& switches,
                       const std::wstring& temp_dir,
                       const std::string& text) {
  const test::TestLog log(temp_dir);
  test::ChildProcess process = StartInstaller(exe, switches, temp_dir);
  for (DWORD waited = 0; waited < kRunTimeoutMs; waited += 50) {
    if (log.Read().find(text) != std::string::npos) {
      process.Terminate();
      return true;
    }
    if (process.Wait(50))
      return log.Read().find(text) != std::string::npos;
  }
  return false;
}

}  // namespace e2e
