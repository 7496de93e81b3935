#include "test/e2e/e2e_support.h"

#include <cstdint>

#include "base/digest.h"
#include "test/support/stat_request.h"

#ifndef LITE_LOCAL_HTTPS_PORT
#error "LITE_LOCAL_HTTPS_PORT must name the port lite_installer_local.exe uses"
#endif

namespace e2e {

test::ChildProcess StartInstaller(
    const std::wstring& exe,
    const std::wstring& switches,
    const std::wstring& temp_dir,
    const std::map<std::wstring, std::wstring>& env) {
  // Runs install as a user outside the Administrators group unless a test
  // asks for Wine's own answer (every user an administrator) with an empty
  // value: only the elevation tests want the elevated copy.
  std::map<std::wstring, std::wstring> variables = {{L"LITE_TEST_ADMIN_GROUP", L"0"}};
  for (const auto& [name, value] : env)
    variables[name] = value;
  variables[L"TMP"] = temp_dir;
  variables[L"TEMP"] = temp_dir;
  const std::wstring path = exe.find(L':') != std::wstring::npos
                                ? exe
                                : test::ExecutableDir() + L"\\" + exe;
  test::ChildProcess process;
  EXPECT_TRUE(process.Start(L"\"" + path + L"\" " + switches, variables));
  return process;
}

DWORD RunInstaller(const std::wstring& exe,
                   const std::wstring& switches,
                   const std::wstring& temp_dir,
                   const std::map<std::wstring, std::wstring>& env) {
  test::ChildProcess process = StartInstaller(exe, switches, temp_dir, env);
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

test::FakeServices* LocalInstallTest::services_ = nullptr;
bool LocalInstallTest::started_ = false;

void LocalInstallTest::SetUpTestSuite() {
  services_ = new test::FakeServices();
  started_ = services_->Start(
      {L"--https-port", std::to_wstring(LITE_LOCAL_HTTPS_PORT)});
}

void LocalInstallTest::TearDownTestSuite() {
  delete services_;
  services_ = nullptr;
}

void LocalInstallTest::SetUp() {
  ASSERT_TRUE(started_) << services_->ServerLog();
  services_->Reset();
  ASSERT_TRUE(services_->AddRule(kReportPath, R"({"text": "ok"})"));
}

void LocalInstallTest::ServeArchive(const std::wstring& file,
                                    const std::string& extra) {
  ASSERT_TRUE(services_->AddRule(
      kArchivePath,
      "{\"file\": \"" +
          test::UnixPath(test::ExecutableDir() + L"\\" + file) + "\"" +
          (extra.empty() ? "" : ", " + extra) + "}"));
}

DWORD LocalInstallTest::Run(const std::wstring& switches,
                            const std::map<std::wstring, std::wstring>& env,
                            const std::wstring& exe) {
  return RunInstaller(exe,
                      switches + L" \"--fake-setup-report=" + Report() + L"\"",
                      dir_.path(), env);
}

std::optional<base::Json> LocalInstallTest::SetupReport() const {
  std::string text;
  if (!test::ReadFileToString(Report(), &text))
    return std::nullopt;
  return base::ParseJson(text);
}

bool LocalInstallTest::ArchiveLeftBehind() const {
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(dir_.Append(L"nb*.tmp").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE)
    return false;
  ::FindClose(find);
  return true;
}

std::vector<test::RecordedRequest> LocalInstallTest::RequestsTo(
    const std::string& prefix) {
  std::vector<test::RecordedRequest> matching;
  for (test::RecordedRequest& request : services_->Requests()) {
    if (request.path.rfind(prefix, 0) == 0)
      matching.push_back(std::move(request));
  }
  return matching;
}

std::vector<test::RecordedRequest> LocalInstallTest::RequestsButStatistics() {
  std::vector<test::RecordedRequest> requests = services_->Requests();
  std::erase_if(requests, [](const test::RecordedRequest& request) {
    return request.path.rfind("/installstats/", 0) == 0;
  });
  return requests;
}

std::string ProgramResource(const wchar_t* exe, const wchar_t* name) {
  const std::wstring path = test::ExecutableDir() + L"\\" + exe;
  HMODULE module = ::LoadLibraryExW(
      path.c_str(), nullptr,
      LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module)
    return std::string();
  std::string bytes;
  if (HRSRC resource = ::FindResourceW(module, name, L"BIN")) {
    const char* data = static_cast<const char*>(
        ::LockResource(::LoadResource(module, resource)));
    bytes.assign(data, ::SizeofResource(module, resource));
  }
  ::FreeLibrary(module);
  return bytes;
}

void WindowedRunTest::Start(const std::wstring& switches,
                            const std::map<std::wstring, std::wstring>& env) {
  process_ = StartInstaller(L"lite_installer_local.exe",
                            switches + L" \"--fake-setup-report=" + Report() + L"\"",
                            dir_.path(), env);
  driver_ = test::InstallerWindowDriver(process_.pid());
  ASSERT_TRUE(driver_.WaitForWindow(90000)) << Log();
}

DWORD WindowedRunTest::ExitCode() {
  if (!process_.WaitPumpingMessages(kRunTimeoutMs)) {
    process_.Terminate();
    return 0xDEAD;
  }
  return process_.exit_code();
}

void WindowedRunTest::Install() {
  ASSERT_TRUE(driver_.ClickControl(test::kInstallButtonId));
  ASSERT_TRUE(driver_.WaitForControl(test::kProgressBarId)) << Log();
}

std::vector<std::string> WindowedRunTest::UserActions(size_t count, DWORD timeout_ms) {
  std::vector<std::string> actions;
  for (const test::StatRequest& request :
       test::WaitForStatRequests(*services_, count, timeout_ms)) {
    for (const char* name : {"clicked_button", "chosen_checkbox", "clicked_link"}) {
      if (request.Has(name))
        actions.push_back(name + std::string("=") + request.Get(name));
    }
  }
  return actions;
}

std::string Sha256Hex(const std::string& bytes) {
  uint8_t digest[base::kSha256Length];
  base::Sha256(bytes.data(), bytes.size(), digest);
  std::string hex;
  for (uint8_t byte : digest) {
    hex.push_back("0123456789abcdef"[byte >> 4]);
    hex.push_back("0123456789abcdef"[byte & 15]);
  }
  return hex;
}

}  // namespace e2e
