#include "base/der_reader.h"

#include <vector>

#include "gtest/gtest.h"

namespace base {
namespace {

TEST(DerReaderTest, DerElementLength) {
  const uint8_t short_form[] = {0x30, 0x02, 1, 2, 0, 0};
  EXPECT_EQ(4u, DerElementLength(short_form));
  std::vector<uint8_t> long_form = {0x30, 0x82, 0x01, 0x00};
  long_form.resize(4 + 0x100 + 3);
  EXPECT_EQ(4u + 0x100, DerElementLength(long_form));
  long_form.resize(4 + 0xFF);
  EXPECT_FALSE(DerElementLength(long_form));
  const uint8_t indefinite[] = {0x30, 0x80, 0, 0};
  EXPECT_FALSE(DerElementLength(indefinite));
  const uint8_t huge[] = {0x30, 0x85, 1, 0, 0, 0, 0};
  EXPECT_FALSE(DerElementLength(huge));
  const uint8_t high_tag[] = {0x1F, 0x01, 0x00};
  EXPECT_FALSE(DerElementLength(high_tag));
  const uint8_t tiny[] = {0x30};
  EXPECT_FALSE(DerElementLength(tiny));
}

// SEQUENCE { INTEGER 5, OCTET STRING "ab" }, then one stray byte.
const uint8_t kSequence[] = {0x30, 0x07, 0x02, 0x01, 0x05, 0x04,
                             0x02, 'a',  'b',  0xff};

TEST(DerReaderTest, CursorEntersSkipsAndHandsOutElements) {
  DerCursor cursor(kSequence);
  DerCursor element;
  ASSERT_EQ(DerStatus::kOk, cursor.Next(&element));
  EXPECT_EQ(9u, element.remaining().size());
  EXPECT_EQ(1u, cursor.remaining().size());

  ASSERT_TRUE(element.Enter());
  EXPECT_EQ(7u, element.remaining().size());
  ASSERT_TRUE(element.Skip());
  ASSERT_TRUE(element.Enter());
  EXPECT_EQ(std::vector<uint8_t>({'a', 'b'}),
            std::vector<uint8_t>(element.remaining().begin(),
                                 element.remaining().end()));

  // The stray byte has no length: nothing moves.
  EXPECT_FALSE(cursor.Skip());
  EXPECT_EQ(DerStatus::kOutOfBounds, cursor.Next(&element));
  EXPECT_FALSE(cursor.AtEnd());
}

TEST(DerReaderTest, CursorNeverLeavesTheEnclosingElement) {
  // The inner element claims one byte more than its parent holds.
  const uint8_t overlong[] = {0x30, 0x03, 0x04, 0x02, 'a'};
  DerCursor cursor(overlong);
  ASSERT_TRUE(cursor.Enter());
  EXPECT_FALSE(cursor.Enter());
  EXPECT_FALSE(cursor.Skip());
  uint64_t header = 0, total = 0;
  EXPECT_EQ(DerStatus::kOutOfBounds, cursor.ReadHeader(&header, &total));

  const uint8_t five_length_bytes[] = {0x30, 0x85, 0, 0, 0, 0, 1, 0};
  EXPECT_EQ(DerStatus::kBadLengthCount,
            DerCursor(five_length_bytes).ReadHeader(&header, &total));
  const uint8_t cut_length[] = {0x30, 0x82, 0x01};
  EXPECT_EQ(DerStatus::kOutOfBounds,
            DerCursor(cut_length).ReadHeader(&header, &total));
}

}  // namespace
}  // namespace base
