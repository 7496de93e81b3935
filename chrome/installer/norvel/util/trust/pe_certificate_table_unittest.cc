#include "chrome/installer/norvel/util/trust/pe_certificate_table.h"

#include "gmock/gmock.h"
#include "gtest/gtest.h"

namespace install_util {
namespace {

using ::testing::ElementsAre;

TEST(PeCertificateTableTest, MakesOnePaddedEntry) {
  const uint8_t pkcs7[] = {0x30, 0x03, 1, 2, 3};
  EXPECT_THAT(MakeCertificateTable(pkcs7),
              ElementsAre(13, 0, 0, 0, 0x00, 0x02, 0x02, 0x00, 0x30, 0x03, 1, 2,
                          3, 0, 0, 0));
}

}  // namespace
}  // namespace install_util
