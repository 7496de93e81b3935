#include "brand/tagged_file_mapping.h"

#include <string>

#include "brand/tag_test_images.h"
#include "gtest/gtest.h"
#include "test/support/test_support.h"

namespace install_util {
namespace {

using test_images::AppendedBlock;
using test_images::Image;
using test_images::OtherCertificate;
using test_images::SignedData;

class TaggedFileMappingTest : public testing::Test {
 protected:
  std::wstring Write(const std::wstring& name, const std::string& bytes) {
    const std::wstring path = dir_.Append(name);
    EXPECT_TRUE(test::WriteStringToFile(path, bytes));
    return path;
  }

  test::ScopedTempDir dir_;
};

TEST_F(TaggedFileMappingTest, ReportsSizeThenCopiesTagAndZero) {
  const std::string tag(300, 't');
  const std::wstring path =
      Write(L"tagged.exe", Image(SignedData({OtherCertificate(300)}),
                                 {.appended = AppendedBlock(tag)}));
  TaggedFileMapping mapping;
  ASSERT_TRUE(mapping.Open(path));
  size_t size = 0;
  ASSERT_TRUE(mapping.ReadTag(nullptr, &size));
  EXPECT_EQ(301u, size);

  std::string buffer(301, 'x');
  EXPECT_TRUE(mapping.ReadTag(buffer.data(), &size));
  EXPECT_EQ(tag + '\0', buffer);

  // One byte short: no room for the terminating zero.
  std::string small(300, 'x');
  size = small.size();
  EXPECT_FALSE(mapping.ReadTag(small.data(), &size));
  EXPECT_EQ(std::string(300, 'x'), small);
}

TEST_F(TaggedFileMappingTest, FailsWithoutFileOrBlock) {
  TaggedFileMapping mapping;
  size_t size = 0;
  EXPECT_FALSE(mapping.ReadTag(nullptr, &size));  // nothing open

  EXPECT_FALSE(mapping.Open(dir_.Append(L"missing.exe")));
  EXPECT_FALSE(mapping.ReadTag(nullptr, &size));
  // An empty file cannot be mapped.
  EXPECT_FALSE(mapping.Open(Write(L"empty.exe", "")));

  ASSERT_TRUE(mapping.Open(
      Write(L"untagged.exe", Image(SignedData({OtherCertificate(300)})))));
  EXPECT_FALSE(mapping.ReadTag(nullptr, &size));
}

// The view is rounded up to whole pages; a block that reaches into that
// tail, past the end of the file, must not be read even when the table
// claims those bytes.
TEST_F(TaggedFileMappingTest, BlockReachingPastTheFileIsIgnored) {
  std::string image = Image(SignedData({OtherCertificate(300)}),
                            {.appended = AppendedBlock("abc")});
  // The file ends right after "Nact" and a length of 5.
  const size_t block = image.find("Nact");
  image.resize(block + 6);
  image[block + 5] = 5;
  test_images::PutLE32(
      &image, test_images::SecurityEntryOffset(false) + 4,
      static_cast<uint32_t>(image.size() - test_images::kTableOffset + 64));
  ASSERT_LT(image.size() % 4096, 4096u - 64);  // the tail lies in the page
  TaggedFileMapping mapping;
  ASSERT_TRUE(mapping.Open(Write(L"short.exe", image)));
  size_t size = 0;
  EXPECT_FALSE(mapping.ReadTag(nullptr, &size));
}

}  // namespace
}  // namespace install_util
