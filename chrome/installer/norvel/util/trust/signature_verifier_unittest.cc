#include "chrome/installer/norvel/util/trust/signature_verifier.h"

#include <memory>
#include <string>
#include <vector>

#include "chrome/installer/norvel/util/trust/pinned_keys.h"
#include "chrome/installer/norvel/util/trust/trusted_list.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/scoped_test_log.h"

namespace install_util {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The main test list, signed at build time with development pinned key 3.
class SignatureVerifierTest : public test::TestWithLog {
 protected:
  void SetUp() override {
    const std::wstring data =
        test::ExecutableDir() + L"\\testdata\\verification\\";
    std::string list, signature;
    ASSERT_TRUE(test::ReadFileToString(data + L"main_list.json", &list));
    ASSERT_TRUE(test::ReadFileToString(data + L"main_list.sig", &signature));
    ASSERT_GT(signature.size(), 2u);
    ASSERT_EQ(3, signature[0]);
    list_.assign(list.begin(), list.end());
    signature_.assign(signature.begin() + 2, signature.end());
    key_ = *DecodeBase64Strict(kPinnedPublicKeys[3]);
  }

  Bytes list_;
  Bytes signature_;
  Bytes key_;
};

TEST_F(SignatureVerifierTest, AcceptsTheSignatureOfThePinnedKey) {
  SignatureVerifier verifier;
  EXPECT_TRUE(verifier.Verify(signature_, key_, list_));
  // Reusable: each Verify starts afresh.
  EXPECT_TRUE(verifier.Verify(signature_, key_, list_));
  EXPECT_EQ("", Log());
}

TEST_F(SignatureVerifierTest, RefusesOtherDataKeysAndSignatures) {
  SignatureVerifier verifier;
  Bytes changed = list_;
  changed[changed.size() / 2] ^= 1;
  EXPECT_FALSE(verifier.Verify(signature_, key_, changed));

  Bytes other_key = *DecodeBase64Strict(kPinnedPublicKeys[4]);
  EXPECT_FALSE(verifier.Verify(signature_, other_key, list_));

  Bytes flipped = signature_;
  flipped[0] ^= 0x80;
  EXPECT_FALSE(verifier.Verify(flipped, key_, list_));

  // NTE_BAD_SIGNATURE, written in unsigned decimal, then its description.
  EXPECT_THAT(Log(),
              HasSubstr("Failed to verify signature, error: 2148073478 - "
                        "2148073478, "));
}

TEST_F(SignatureVerifierTest, StopsAtTheFirstFailingStep) {
  SignatureVerifier verifier;
  const Bytes garbage_key = {0x30, 0x03, 0x02, 0x01, 0x00};
  EXPECT_FALSE(verifier.Verify(signature_, garbage_key, list_));
  EXPECT_FALSE(verifier.Verify({}, key_, list_));
  std::string log = Log();
  EXPECT_THAT(log, HasSubstr("Failed to convert decode public key, error: "));
  // Neither the garbage key nor the empty signature reached CryptoAPI's
  // signature check.
  EXPECT_THAT(log, Not(HasSubstr("Failed to verify signature")));

  // Hashing before a context exists fails and says so.
  SignatureVerifier fresh;
  EXPECT_FALSE(fresh.HashData(list_));
  EXPECT_THAT(Log(), HasSubstr("Failed to initialize hash object, error: "));
}

}  // namespace
}  // namespace install_util
