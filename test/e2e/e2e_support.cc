#include "test/e2e/e2e_support.h"

namespace e2e {

test::ChildProcess StartInstaller(const std::wstring& exe,
                                  const std::wstring& switches,
                                  const std::wstring& temp_dir) {
  test::ChildProcess process;
  process.Start(L"\"" + test::ExecutableDir() + L"\\" + exe + L"\" " + switches,
                {{L"TMP", temp_dir}, {L"TEMP", temp_dir}});
  return process;
}

DWORD RunInstaller(const std::wstring& exe,
                   const std::wstring& switches,
                   const std::wstring& temp_dir) {
  test::ChildProcess process = StartInstaller(exe, switches, temp_dir);
  if (!process.Wait(kRunTimeoutMs))
    return 0xDEAD;
  return process.exit_code();
}

bool RunInstallerUntil(const std::wstring& exe,
                       const std::wstring& switches,
                       const std::wstring& temp_dir,
                       const std::string& text) {
  test::ChildProcess process = StartInstaller(exe, switches, temp_dir);
  for (DWORD waited = 0; waited < kRunTimeoutMs; waited += 50) {
    if (ReadLog(temp_dir).find(text) != std::string::npos) {
      process.Terminate();
      return true;
    }
    if (process.Wait(50))
      return ReadLog(temp_dir).find(text) != std::string::npos;
  }
  return false;
}

std::string ReadLog(const std::wstring& temp_dir) {
  std::string text;
  test::ReadFileToString(temp_dir + L"\\lite_installer.log", &text);
  return text;
}

}  // namespace e2e
