#include "chrome/installer/norvel/util/trust/norvel_trust_verifier.h"

#include <windows.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "base/strings.h"
#include "chrome/installer/norvel/util/trust/extended_check.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/fake_system_facts.h"
#include "test/support/matchers.h"
#include "test/support/scoped_test_log.h"

// These tests verify programs signed at build time (see testdata/): the
// signing certificates chain to a test root that the Wine prefix trusts.
namespace install_util {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr char kSha1Serial[] = "1A2B3C4D5E6F0711";
constexpr char kSha256Serial[] = "2B3C4D5E6F071122";
constexpr char kOtherSerial[] = "3C4D5E6F07112233";
constexpr char kUntrustedSerial[] = "4D5E6F0711223344";
// WinVerifyTrust results as written in the log, signed.
constexpr int64_t kNoSignature = -2146762496;    // TRUST_E_NOSIGNATURE
constexpr int64_t kUntrustedRoot = -2146762487;  // CERT_E_UNTRUSTEDROOT
constexpr int64_t kBadDigest = -2146869232;      // TRUST_E_BAD_DIGEST

class NorvelTrustVerifierTest : public test::TestWithLog {
 protected:
  void SetUp() override {
    facts_.SetWindowsVersion(10, 0, 19045);
    SetTrustVerificationObserver(
        [this](const std::string& event, const base::Json& record) {
          EXPECT_EQ("win-verify-update", event);
          records_.push_back(record);
        });
    std::string list;
    ASSERT_TRUE(test::ReadFileToString(Fixture(L"main_list.json"), &list));
    ASSERT_EQ(TrustedListParseResult::kOk,
              ParseTrustedList(list, &main_list_).status);
  }
  void TearDown() override { SetTrustVerificationObserver(nullptr); }

  static std::wstring Fixture(const std::wstring& name) {
    return test::ExecutableDir() + L"\\testdata\\verification\\" + name;
  }
  static std::string U8(const std::wstring& text) {
    return base::WideToUTF8(text);
  }

  // The log as "LEVEL: text" lines, without time stamps and function names.
  std::vector<std::string> Lines() { return log_.Messages(); }

  std::string KeyHashOf(const char* serial_hex) {
    for (const auto& [serial, entry] : main_list_) {
      if (EncodeHexUpper(serial) == serial_hex)
        return EncodeHexUpper(entry.key_hash);
    }
    ADD_FAILURE() << "no entry " << serial_hex;
    return std::string();
  }

  // The closing lines of a refused file: the list as the verifier holds it.
  std::vector<std::string> RefusalLines(const std::string& path) {
    std::vector<std::string> lines = {
        "ERROR: KNOWN_ERROR_untrusted_certificate",
        "ERROR: Can not find any trusted certificates. " + path};
    for (const char* serial : {kSha1Serial, kSha256Serial, kUntrustedSerial}) {
      lines.push_back(std::string("ERROR: Trusted JSON serial number: ") +
                      serial);
      lines.push_back("ERROR: Trusted JSON public key: " + KeyHashOf(serial));
    }
    return lines;
  }

  std::vector<std::string> CertificateLines(const char* serial) {
    return {std::string("INFO: Certificate's serial number: ") + serial,
            "INFO: Certificate's public key: " + KeyHashOf(serial)};
  }

  // The whole log of an accepted fixture: its signers' certificates, then
  // the verdict ("verified. " or "verified with sha256. ").
  std::vector<std::string> AcceptedLines(const wchar_t* fixture,
                                         std::vector<const char*> serials,
                                         const std::string& verdict) {
    const std::string path = U8(Fixture(fixture));
    std::vector<std::string> lines = {"INFO: Verifying " + path};
    for (const char* serial : serials)
      lines = Concat({lines, CertificateLines(serial)});
    lines.push_back("INFO: File successfully " + verdict + path);
    return lines;
  }

  // The records with the environment's version texts checked and removed.
  std::vector<std::string> Records() {
    std::vector<std::string> texts;
    for (base::Json record : records_) {
      EXPECT_TRUE(record.contains("crypt_version"));
      EXPECT_TRUE(record.contains("win_version"));
      record.erase("crypt_version");
      record.erase("win_version");
      texts.push_back(base::WriteJson(record));
    }
    return texts;
  }

  static std::vector<std::string> Concat(
      std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts)
      all.insert(all.end(), part.begin(), part.end());
    return all;
  }

  test::FakeSystemFacts facts_;
  TrustedCertificateMap main_list_;
  std::vector<base::Json> records_;
};

TEST_F(NorvelTrustVerifierTest, TrustedSha1SignerIsAccepted) {
  EXPECT_TRUE(VerifyModuleFile(Fixture(L"sha1_only.exe")));
  EXPECT_THAT(Lines(), ElementsAreArray(AcceptedLines(
                           L"sha1_only.exe", {kSha1Serial}, "verified. ")));
  // A bare success is not reported on Windows 10.
  EXPECT_THAT(records_, IsEmpty());
}

TEST_F(NorvelTrustVerifierTest, TrustedSha256SignerIsAcceptedAtOnce) {
  EXPECT_TRUE(VerifyModuleFile(Fixture(L"sha256_only.exe")));
  EXPECT_THAT(Lines(), ElementsAreArray(
                           AcceptedLines(L"sha256_only.exe", {kSha256Serial},
                                         "verified with sha256. ")));
}

TEST_F(NorvelTrustVerifierTest, DualSignedWithTrustedSha256Signer) {
  EXPECT_TRUE(VerifyModuleFile(Fixture(L"dual_trusted.exe")));
  EXPECT_THAT(Lines(), ElementsAreArray(AcceptedLines(
                           L"dual_trusted.exe", {kSha1Serial, kSha256Serial},
                           "verified with sha256. ")));
}

TEST_F(NorvelTrustVerifierTest, UntrustedNestedSha256OutweighsTrustedSha1) {
  const std::string path = U8(Fixture(L"dual_untrusted_sha256.exe"));
  EXPECT_FALSE(VerifyModuleFile(Fixture(L"dual_untrusted_sha256.exe")));
  std::vector<std::string> lines = Lines();
  ASSERT_GE(lines.size(), 5u);
  EXPECT_THAT(lines[4], test::FullyMatches(
                            "INFO: Certificate's public key: [0-9A-F]{64}"));
  lines[4] = "key";
  EXPECT_THAT(
      lines,
      ElementsAreArray(Concat(
          {{"INFO: Verifying " + path},
           CertificateLines(kSha1Serial),
           {std::string("INFO: Certificate's serial number: ") + kOtherSerial,
            "key", "ERROR: Can not find sertificate in trusted list. " + path,
            "ERROR: SHA256 verification failed. " + path},
           RefusalLines(path)})));
  EXPECT_THAT(Records(),
              ElementsAre(R"({"error_code":1,"error_type":"find"})"));
}

TEST_F(NorvelTrustVerifierTest, TrustedSha1AfterFailedSha256IsIgnored) {
  const std::string path = U8(Fixture(L"untrusted_sha256_then_sha1.exe"));
  EXPECT_FALSE(VerifyModuleFile(Fixture(L"untrusted_sha256_then_sha1.exe")));
  std::vector<std::string> lines = Lines();
  ASSERT_GE(lines.size(), 3u);
  lines[2] = "key";
  // The SHA-1 signature is not even looked up.
  EXPECT_THAT(
      lines,
      ElementsAreArray(Concat(
          {{"INFO: Verifying " + path,
            std::string("INFO: Certificate's serial number: ") + kOtherSerial,
            "key", "ERROR: Can not find sertificate in trusted list. " + path,
            "ERROR: SHA256 verification failed. " + path},
           RefusalLines(path)})));
  EXPECT_THAT(
      Records(),
      ElementsAre(R"({"error_code":1,"error_type":"find"})",
                  R"({"error_code":1,"error_type":"s2_fail_ignore_s1"})"));
}

TEST_F(NorvelTrustVerifierTest, CertificateNotInTheListIsRefused) {
  const std::string path = U8(Fixture(L"not_in_list.exe"));
  EXPECT_FALSE(VerifyModuleFile(Fixture(L"not_in_list.exe")));
  std::vector<std::string> lines = Lines();
  EXPECT_THAT(lines,
              testing::Contains(
                  "ERROR: Can not find sertificate in trusted list. " + path));
  EXPECT_THAT(lines,
              testing::Contains("ERROR: SHA256 verification failed. " + path));
  EXPECT_THAT(Records(),
              ElementsAre(R"({"error_code":1,"error_type":"find"})"));
}

TEST_F(NorvelTrustVerifierTest, EntryWithoutPubKeyAcceptsAnyKey) {
  EXPECT_TRUE(VerifyModuleFile(Fixture(L"no_pub_key.exe")));
  EXPECT_THAT(Lines().back(),
              HasSubstr("File successfully verified with sha256."));
}

TEST_F(NorvelTrustVerifierTest, EntryWithAnotherPubKeyIsRefused) {
  const std::string path = U8(Fixture(L"wrong_pub_key.exe"));
  EXPECT_FALSE(VerifyModuleFile(Fixture(L"wrong_pub_key.exe")));
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(9u, lines.size());
  EXPECT_THAT(std::vector<std::string>(lines.begin(), lines.begin() + 8),
              ElementsAreArray(Concat(
                  {{"INFO: Verifying " + path},
                   CertificateLines(kSha256Serial),
                   {"ERROR: Public key is not match. " + path,
                    "ERROR: SHA256 verification failed. " + path,
                    "ERROR: KNOWN_ERROR_untrusted_certificate",
                    "ERROR: Can not find any trusted certificates. " + path,
                    std::string("ERROR: Trusted JSON serial number: ") +
                        kSha256Serial}})));
  EXPECT_THAT(lines[8], test::FullyMatches(
                            "ERROR: Trusted JSON public key: [0-9A-F]{64}"));
  EXPECT_NE("ERROR: Trusted JSON public key: " + KeyHashOf(kSha256Serial),
            lines[8]);
  EXPECT_THAT(Records(),
              ElementsAre(R"({"error_code":1,"error_type":"pub_key"})"));
}

// The key hash that ExtractCertParams compares against the list. A key bit
// string with unused bits has none, and a list entry that names a key then
// refuses the certificate rather than taking any key of its serial.
TEST(CertificateKeyHashTest, KeyWithoutAHashMatchesNoNamedKey) {
  uint8_t abc[] = {'a', 'b', 'c'};
  CRYPT_BIT_BLOB key_bits = {sizeof(abc), abc, 0};
  const Bytes hash = CertificatePublicKeyHash(key_bits);
  EXPECT_EQ("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD",
            EncodeHexUpper(hash));
  key_bits.cUnusedBits = 1;
  const Bytes unknown = CertificatePublicKeyHash(key_bits);
  EXPECT_TRUE(unknown.empty());
  EXPECT_FALSE(
      IsCertificateKeyAccepted(TrustedCertificate{{0x01}, hash}, unknown));
  EXPECT_TRUE(
      IsCertificateKeyAccepted(TrustedCertificate{{0x01}, {}}, unknown));
}

TEST_F(NorvelTrustVerifierTest, EntryWithExtraLeadingZeroMatches) {
  EXPECT_TRUE(VerifyModuleFile(Fixture(L"leading_zero.exe")));
  EXPECT_THAT(Lines(), ElementsAreArray(
                           AcceptedLines(L"leading_zero.exe", {kSha256Serial},
                                         "verified with sha256. ")));
}

// Every defect of the list resources ends the same way: no list, and the
// file is refused before WinVerifyTrust is asked.
TEST_F(NorvelTrustVerifierTest, ListResourceDefectsLeaveNothingTrusted) {
  struct Case {
    const wchar_t* file;
    std::vector<std::string> first_lines;
  } cases[] = {
      {L"key_10.exe", {"ERROR: Cannot find key"}},
      {L"unpinned.exe",
       {"ERROR: Failed to verify signature, error: 2148073478 - 2148073478, ",
        "ERROR: Verify error"}},
      {L"tampered.exe",
       {"ERROR: Failed to verify signature, error: 2148073478 - 2148073478, ",
        "ERROR: Verify error"}},
      {L"short_signature.exe", {"ERROR: Cannot find resource SIGNATURE_DAT"}},
      {L"no_list.exe", {"ERROR: Cannot find resource TRUSTED_JSON"}},
      {L"no_resources.exe", {"ERROR: Cannot find resource SIGNATURE_DAT"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.file));
    log_.Clear();
    EXPECT_EQ("", NorvelTrustVerifier::GetTrustJsonFromModule(Fixture(c.file)));
    EXPECT_FALSE(VerifyModuleFile(Fixture(c.file)));
    std::vector<std::string> lines = Lines();
    const size_t n = c.first_lines.size();
    // Twice the list failure, then the parse of the empty text, then the
    // start of the check that has nothing to compare with.
    ASSERT_EQ(2 * n + 2, lines.size());
    for (size_t i = 0; i < n; ++i) {
      EXPECT_THAT(lines[i], HasSubstr(c.first_lines[i]));
      EXPECT_THAT(lines[n + i], HasSubstr(c.first_lines[i]));
    }
    EXPECT_THAT(lines[2 * n],
                HasSubstr("ERROR: Failed to read json : Line: 1, column: 1"));
    EXPECT_EQ("INFO: Verifying " + U8(Fixture(c.file)), lines[2 * n + 1]);
  }
  EXPECT_THAT(records_, IsEmpty());
}

TEST_F(NorvelTrustVerifierTest, PlatformRefusalsAreRecordedAsHash) {
  struct Case {
    const wchar_t* file;
    int64_t code;
  } cases[] = {
      {L"unsigned.exe", kNoSignature},
      {L"untrusted_root.exe", kUntrustedRoot},
      {L"flipped_byte.exe", kBadDigest},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.file));
    log_.Clear();
    records_.clear();
    const std::string path = U8(Fixture(c.file));
    EXPECT_FALSE(VerifyModuleFile(Fixture(c.file)));
    EXPECT_THAT(Lines(), ElementsAreArray(Concat({{"INFO: Verifying " + path},
                                                  RefusalLines(path)})));
    ASSERT_EQ(1u, records_.size());
    EXPECT_EQ("hash", records_[0].value("error_type", ""));
    EXPECT_EQ(c.code, records_[0].value("error_code", int64_t{0}));
  }
}

// Wine accepts a signer whose issuer is missing; the chain of one
// certificate is what refuses it.
TEST_F(NorvelTrustVerifierTest, ChainWithoutIssuerIsRefused) {
  const std::string path = U8(Fixture(L"missing_issuer.exe"));
  EXPECT_FALSE(VerifyModuleFile(Fixture(L"missing_issuer.exe")));
  // The extraction failure goes to the platform log, not to this file.
  EXPECT_THAT(Lines(), ElementsAreArray(Concat(
                           {{"INFO: Verifying " + path}, RefusalLines(path)})));
  EXPECT_THAT(Records(),
              ElementsAre(R"({"error_code":1,"error_type":"extract"})"));
}

TEST_F(NorvelTrustVerifierTest, OlderWindowsRetriesWithTheHashOnly) {
  facts_.SetWindowsVersion(6, 1, 7601);
  const std::string path = U8(Fixture(L"unsigned.exe"));
  EXPECT_FALSE(VerifyModuleFile(Fixture(L"unsigned.exe")));
  const std::string code = std::to_string(kNoSignature);
  EXPECT_THAT(Lines(), ElementsAreArray(Concat(
                           {{"INFO: Verifying " + path,
                             "WARNING: Start additional sha256 verification. " +
                                 path + " Error code: " + code,
                             "INFO: Extended verification failed. " + path +
                                 " Error code: " + code},
                            RefusalLines(path)})));
  ASSERT_EQ(1u, records_.size());
  EXPECT_THAT(records_[0].value("win_version", ""),
              test::FullyMatches(R"(6\.1\.7601\.\d+)"));
  EXPECT_THAT(records_[0].value("crypt_version", ""),
              test::FullyMatches(R"(\d+\.\d+\.\d+\.\d+)"));
  EXPECT_THAT(
      Records(),
      ElementsAre(R"({"error_code":-2146762496,"error_code_original":)"
                  R"(-2146762496,"error_type":"hash","extended_check":1})"));
}

// On Windows 7 a chain WinVerifyTrust cannot build is retried with the hash
// alone. Wine ignores WTD_HASH_ONLY_FLAG, so here the retry fails too.
TEST_F(NorvelTrustVerifierTest, HashOnlyRetryOfAnUntrustedRoot) {
  facts_.SetWindowsVersion(6, 1, 7601);
  const std::string path = U8(Fixture(L"untrusted_root.exe"));
  EXPECT_FALSE(VerifyModuleFile(Fixture(L"untrusted_root.exe")));
  const std::string code = std::to_string(kUntrustedRoot);
  std::vector<std::string> lines = Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ("WARNING: Start additional sha256 verification. " + path +
                " Error code: " + code,
            lines[1]);
  EXPECT_EQ(
      "INFO: Extended verification failed. " + path + " Error code: " + code,
      lines[2]);
}

TEST_F(NorvelTrustVerifierTest, SuccessIsReportedBeforeWindows10) {
  facts_.SetWindowsVersion(6, 3, 9600);
  EXPECT_TRUE(VerifyModuleFile(Fixture(L"sha1_only.exe")));
  EXPECT_TRUE(VerifyModuleFile(Fixture(L"dual_trusted.exe")));
  EXPECT_THAT(Records(), ElementsAre(R"({"error_type":"ok"})",
                                     R"({"error_type":"ok_sha256"})"));
}

TEST_F(NorvelTrustVerifierTest, SignerCheckWhenConfigured) {
  facts_.SetWindowsVersion(6, 1, 7601);
  Win7UpdateConfig settings;
  settings.verify_signer = true;
  ScopedWin7UpdateConfigForTesting config(settings);
  const std::string path = U8(Fixture(L"sha256_only.exe"));
  EXPECT_TRUE(VerifyModuleFile(Fixture(L"sha256_only.exe")));
  std::vector<std::string> lines = Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ("INFO: Trying to verify the signer of file " + path, lines[1]);
  EXPECT_EQ("INFO: Signer verified", lines[2]);
}

TEST_F(NorvelTrustVerifierTest, EmptyListRefusesWithoutAsking) {
  NorvelTrustVerifier verifier({});
  EXPECT_FALSE(verifier.VerifyModule(Fixture(L"sha256_only.exe"), false));
  EXPECT_THAT(Lines(), ElementsAre("INFO: Verifying " +
                                   U8(Fixture(L"sha256_only.exe"))));
  EXPECT_THAT(records_, IsEmpty());
}

TEST_F(NorvelTrustVerifierTest, ListIsReadOnlyFromAbsolutePaths) {
  const std::wstring absolute = Fixture(L"sha256_only.exe");
  std::string list;
  ASSERT_TRUE(test::ReadFileToString(Fixture(L"main_list.json"), &list));
  EXPECT_EQ(list, NorvelTrustVerifier::GetTrustJsonFromModule(absolute));
  std::wstring forward = absolute;
  std::replace(forward.begin(), forward.end(), L'\\', L'/');
  EXPECT_EQ(list, NorvelTrustVerifier::GetTrustJsonFromModule(forward));
  EXPECT_THAT(Lines(), IsEmpty());

  for (const wchar_t* path : {L"sha256_only.exe", L"C:sha256_only.exe",
                              L"\\sha256_only.exe", L"1:\\sha256_only.exe"}) {
    EXPECT_EQ("", NorvelTrustVerifier::GetTrustJsonFromModule(path));
  }
  EXPECT_THAT(
      Lines(),
      ElementsAre(
          "ERROR: Attempting to GetTrustJsonFromModule at an invalid path: "
          "sha256_only.exe",
          "ERROR: Attempting to GetTrustJsonFromModule at an invalid path: "
          "C:sha256_only.exe",
          "ERROR: Attempting to GetTrustJsonFromModule at an invalid path: "
          "\\sha256_only.exe",
          "ERROR: Attempting to GetTrustJsonFromModule at an invalid path: "
          "1:\\sha256_only.exe"));

  log_.Clear();
  const std::wstring missing = Fixture(L"missing.exe");
  EXPECT_EQ("", NorvelTrustVerifier::GetTrustJsonFromModule(missing));
  EXPECT_THAT(Lines(), ElementsAre("ERROR: Failed to load module for "
                                   "GetTrustJsonFromModule: " +
                                   U8(missing)));
}

TEST_F(NorvelTrustVerifierTest, GetTrustedFilesLogsWhyAListIsUnusable) {
  TrustedCertificateMap map;
  EXPECT_FALSE(NorvelTrustVerifierBase::GetTrustedFiles("{\"a\":}", &map));
  EXPECT_FALSE(NorvelTrustVerifierBase::GetTrustedFiles("[]", &map));
  EXPECT_TRUE(NorvelTrustVerifierBase::GetTrustedFiles(
      R"({"trusted_info": {"certificates": [{"id": "AQ=="}]}})", &map));
  EXPECT_EQ(1u, map.size());
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_THAT(lines[0],
              test::FullyMatches(
                  "ERROR: Failed to read json : Line: 1, column: 6, .+"));
  EXPECT_EQ("ERROR: Incorrect format of json", lines[1]);
}

// Under Wine the nested signature is checked on a private copy; it must not
// outlive the check.
TEST_F(NorvelTrustVerifierTest, NestedSignatureCopiesAreRemoved) {
  test::ScopedTempDir temp;
  test::ScopedTempPathOverride temp_path(temp.path());
  EXPECT_TRUE(VerifyModuleFile(Fixture(L"dual_trusted.exe")));
  EXPECT_FALSE(VerifyModuleFile(Fixture(L"dual_untrusted_sha256.exe")));
  WIN32_FIND_DATAW found;
  HANDLE find = ::FindFirstFileW((temp.path() + L"\\*").c_str(), &found);
  ASSERT_NE(INVALID_HANDLE_VALUE, find);
  std::vector<std::wstring> names;
  do {
    if (std::wstring(found.cFileName) != L"." &&
        std::wstring(found.cFileName) != L"..") {
      names.push_back(found.cFileName);
    }
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
  EXPECT_THAT(names, IsEmpty());
}

TEST_F(NorvelTrustVerifierTest, VerifyFileSignerResults) {
  EXPECT_EQ(0, VerifyFileSigner(Fixture(L"sha256_only.exe")));
  EXPECT_EQ(1, VerifyFileSigner(Fixture(L"missing.exe")));
  test::ScopedTempDir temp;
  ASSERT_TRUE(test::WriteStringToFile(temp.Append(L"empty.exe"), ""));
  EXPECT_EQ(2, VerifyFileSigner(temp.Append(L"empty.exe")));
  EXPECT_EQ(3, VerifyFileSigner(Fixture(L"unsigned.exe")));
  EXPECT_THAT(Lines(),
              ElementsAre(test::FullyMatches(
                  "ERROR: Failed to CryptQueryObject, gle=\\d+ filepath=" +
                  std::regex_replace(U8(Fixture(L"unsigned.exe")),
                                     std::regex(R"([\\.])"), R"(\$&)"))));
}

}  // namespace
}  // namespace install_util
