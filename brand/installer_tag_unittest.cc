#include "brand/installer_tag.h"

#include <windows.h>

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/pe_image_reader.h"
#include "base/strings.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace install_util {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr char kInstallerTag[] = "brand_id=x&banerid=42";

// Made at build time by testdata/make_tag_fixtures.sh.
std::wstring Fixture(const std::wstring& name) {
  return test::ExecutableDir() + L"\\tag_fixtures\\" + name;
}

std::string Utf8(const std::wstring& text) {
  return base::WideToUTF8(text);
}

// Writes the running executable's tag to the file named by args[0].
LITE_CHILD_MAIN(write_own_tag) {
  if (args.empty())
    return 2;
  return test::WriteStringToFile(args[0], ReadCurrentExecutableTag()) ? 0 : 1;
}

class InstallerTagTest : public test::TestWithLog {
 protected:
  // One string per log entry, whole.
  std::vector<std::string> LogLines() {
    std::vector<std::string> entries;
    for (const test::LogEntry& entry : log_.Entries())
      entries.push_back(entry.text);
    return entries;
  }

  // A copy of fixture `name` changed by `edit`, in the scratch directory.
  std::wstring EditedCopy(const std::wstring& name,
                          void (*edit)(std::string* bytes)) {
    std::string bytes;
    EXPECT_TRUE(test::ReadFileToString(Fixture(name), &bytes));
    edit(&bytes);
    const std::wstring path = dir_.Append(L"edited_" + name);
    EXPECT_TRUE(test::WriteStringToFile(path, bytes));
    return path;
  }

  test::ScopedTempDir dir_;
};

TEST_F(InstallerTagTest, FixturesGiveTheirTags) {
  struct Case {
    const wchar_t* file;
    const char* certificate_tag;  // ExtractTagFromFakeCertificate
    const char* tag;              // ReadTagFromExecutable
  } cases[] = {
      {L"untagged.exe", "", ""},
      {L"certificate_tag.exe", "brand_id=a&banerid=1", "brand_id=a&banerid=1"},
      {L"appended_tag.exe", "", "brand_id=b&banerid=2"},
      {L"two_certificates.exe", "brand_id=c&banerid=3", "brand_id=c&banerid=3"},
      {L"reserved_empty.exe", "", ""},
      {L"reserved_empty_appended.exe", "", "brand_id=d"},
      {L"reserved_filled.exe", "brand_id=e&banerid=5", "brand_id=e&banerid=5"},
      {L"three_extensions.exe", "", ""},
      {L"other_serial.exe", "", ""},
      {L"lite_installer_signed.exe", "", ""},
      {L"lite_installer_tagged.exe", kInstallerTag, kInstallerTag},
      {L"lite_installer_appended.exe", "", kInstallerTag},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.file));
    EXPECT_EQ(c.certificate_tag,
              ExtractTagFromFakeCertificate(Fixture(c.file)));
    EXPECT_EQ(c.tag, ReadTagFromExecutable(Fixture(c.file)));
  }
  // A missing tag is not a failure.
  EXPECT_THAT(LogLines(), IsEmpty());
}

TEST_F(InstallerTagTest, UnreadableFileLogsReaderAndCallerLines) {
  const std::wstring path = dir_.Append(L"missing.exe");
  EXPECT_EQ("", ExtractTagFromFakeCertificate(path));
  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_THAT(lines[0],
              HasSubstr("ERROR: Can't open file " + Utf8(path) + " - 2, "));
  EXPECT_THAT(lines[0],
              HasSubstr("(anonymous namespace)::ReadAllBytesFromFile"));
  EXPECT_THAT(lines[1], HasSubstr("ERROR: Failed to read file " + Utf8(path)));
  EXPECT_THAT(lines[1],
              HasSubstr("install_util::ExtractTagFromFakeCertificate"));
  EXPECT_EQ("", ReadTagFromExecutable(path));
}

TEST_F(InstallerTagTest, UnsignedFileHasNoCertificateTable) {
  EXPECT_EQ("", ReadTagFromExecutable(Fixture(L"unsigned.exe")));
  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(1u, lines.size());
  EXPECT_THAT(lines[0],
              HasSubstr("ERROR: Failed to find certificate table in " +
                        Utf8(Fixture(L"unsigned.exe")) + " - 13, "));
}

// Position of the security entry of the data directory of the PE32 or
// PE32+ image in `bytes` (the fixtures are built like the test binary).
size_t SecurityEntry(const std::string& bytes) {
  auto location = base::ReadSecurityDirectory(
      {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
      base::PeHeaderChecks::kLoader);
  EXPECT_TRUE(location);
  return location ? location->directory_entry_offset : 0;
}

uint32_t TableOffset(const std::string& bytes) {
  uint32_t offset = 0;
  memcpy(&offset, bytes.data() + SecurityEntry(bytes), 4);
  return offset;
}

void SetTableSize(std::string* bytes, uint32_t size) {
  memcpy(bytes->data() + SecurityEntry(*bytes) + 4, &size, 4);
}

TEST_F(InstallerTagTest, DamagedTablesGiveNoTagAndOneLine) {
  struct Case {
    const char* name;
    void (*edit)(std::string* bytes);
    const char* line;
  } cases[] = {
      {"truncated in the signature",
       [](std::string* b) {
         const uint32_t offset = TableOffset(*b);
         const uint32_t keep = static_cast<uint32_t>(b->size() - offset) / 2;
         b->resize(offset + keep);
         SetTableSize(b, keep);
       },
       "Invalid ASN1 format of certificate table in "},
      {"table beyond the end of the file",
       [](std::string* b) { b->resize(b->size() - 8); },
       "Failed to find certificate table in "},
      {"signature claims 2 GiB",
       [](std::string* b) {
         b->replace(TableOffset(*b) + 8, 4, "\x30\x84\x7f\xff", 4);
       },
       "Invalid ASN1 format of certificate table in "},
      {"garbage signature",
       [](std::string* b) {
         const uint32_t offset = TableOffset(*b);
         b->replace(offset + 8, b->size() - offset - 8,
                    std::string(b->size() - offset - 8, '\x5a'));
       },
       "Invalid ASN1 format of certificate table in "},
      {"garbage length form",
       [](std::string* b) {
         const uint32_t offset = TableOffset(*b);
         b->replace(offset + 8, b->size() - offset - 8,
                    std::string(b->size() - offset - 8, '\xff'));
       },
       "Failed to find certificate table in "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log_.Clear();
    const std::wstring path = EditedCopy(L"certificate_tag.exe", c.edit);
    EXPECT_EQ("", ExtractTagFromFakeCertificate(path));
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_THAT(lines[0], HasSubstr(std::string("ERROR: ") + c.line +
                                    Utf8(path) + " - 13, "));
    EXPECT_THAT(lines[0],
                HasSubstr("install_util::ExtractTagFromFakeCertificate"));
    // Nor does the appended-block reader find anything.
    EXPECT_EQ("", ReadTagFromExecutable(path));
  }
}

TEST_F(InstallerTagTest, RunningExecutableReadsItsOwnTag) {
  // This test binary is unsigned.
  const std::wstring self = GetCurrentExecutablePath();
  EXPECT_EQ(test::ToLower(test::ExecutableDir() + L"\\brand_unittests.exe"),
            test::ToLower(self));
  EXPECT_EQ("", ReadCurrentExecutableTag());
  EXPECT_THAT(LogLines(),
              ElementsAre(HasSubstr("Failed to find certificate table in " +
                                    Utf8(self))));

  // Its signed and tagged copy, made at build time.
  const std::wstring out = dir_.Append(L"own_tag.txt");
  test::ChildProcess child;
  ASSERT_TRUE(child.Start(L"\"" + Fixture(L"brand_unittests_tagged.exe") +
                          L"\" --lite-test-child=write_own_tag \"" + out +
                          L"\""));
  ASSERT_TRUE(child.Wait(60000));
  EXPECT_EQ(0u, child.exit_code());
  std::string tag;
  ASSERT_TRUE(test::ReadFileToString(out, &tag));
  EXPECT_EQ("brand_id=self&banerid=7", tag);
}

// Trusts a root certificate in the machine's root store while it lives.
class ScopedTrustedRoot {
 public:
  explicit ScopedTrustedRoot(const std::string& der) {
    store_ = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                             CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!store_)
      return;
    ::CertAddEncodedCertificateToStore(
        store_, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
        static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
        &added_);
  }
  ~ScopedTrustedRoot() {
    if (added_)
      ::CertDeleteCertificateFromStore(added_);  // frees the context
    if (store_)
      ::CertCloseStore(store_, 0);
  }
  bool ok() const { return added_ != nullptr; }

 private:
  HCERTSTORE store_ = nullptr;
  PCCERT_CONTEXT added_ = nullptr;
};

LONG VerifyAuthenticode(const std::wstring& path) {
  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof(file);
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const HWND no_ui = static_cast<HWND>(INVALID_HANDLE_VALUE);
  const LONG status = ::WinVerifyTrust(no_ui, &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  ::WinVerifyTrust(no_ui, &action, &data);
  return status;
}

// Tagging happens after signing: every way of tagging must leave the
// signature valid.
TEST(InstallerTagSignatureTest, TaggedFixturesStillVerify) {
  std::string root;
  ASSERT_TRUE(test::ReadFileToString(Fixture(L"pki\\root.der"), &root));
  ScopedTrustedRoot trusted(root);
  ASSERT_TRUE(trusted.ok());
  for (const wchar_t* name :
       {L"untagged.exe", L"certificate_tag.exe", L"appended_tag.exe",
        L"two_certificates.exe", L"reserved_empty.exe",
        L"reserved_empty_appended.exe", L"reserved_filled.exe",
        L"three_extensions.exe", L"other_serial.exe",
        L"lite_installer_signed.exe", L"lite_installer_tagged.exe",
        L"lite_installer_appended.exe"}) {
    EXPECT_EQ(ERROR_SUCCESS, VerifyAuthenticode(Fixture(name))) << Utf8(name);
  }
  // The check can fail: a changed signed byte and a missing signature.
  EXPECT_EQ(TRUST_E_BAD_DIGEST, VerifyAuthenticode(Fixture(L"tampered.exe")));
  EXPECT_EQ(TRUST_E_NOSIGNATURE, VerifyAuthenticode(Fixture(L"unsigned.exe")));
}

}  // namespace
}  // namespace install_util
