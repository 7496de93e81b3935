#include "crash/crash_report_parts.h"

#include <cstring>
#include <string>

#include "gmock/gmock.h"
#include "gtest/gtest.h"

namespace crashpad {
namespace {

constexpr GUID kReportId = {0x01020304, 0x0506, 0x0708,
                            {0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f, 0x10}};

uint32_t Uint32At(const std::string& bytes, size_t offset) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

TEST(CrashInfoStreamTest, FixedUpEntriesPointAtTheirStringsInTheFile) {
  const Annotations annotations = {{"ver", "24.7.1.1076"}, {"a", ""}};
  const std::string stream =
      BuildCrashInfoStream(kReportId, GUID{}, annotations);
  // Head, two entries, four string records (key and value, L + 5 bytes).
  const size_t strings = (1 + 5) + (0 + 5) + (3 + 5) + (11 + 5);
  ASSERT_EQ(52u + 4 + 16 + strings, stream.size());
  EXPECT_EQ(1u, Uint32At(stream, 0));
  EXPECT_EQ(0, std::memcmp(stream.data() + 4,
                           "\x04\x03\x02\x01\x06\x05\x08\x07\x09\x0a\x0b\x0c"
                           "\x0d\x0e\x0f\x10",
                           16));
  EXPECT_EQ(4 + 16 + strings, Uint32At(stream, 36));
  EXPECT_EQ(52u, Uint32At(stream, 40));

  // The stream as the dump writer places it: at some offset in a file.
  const uint32_t rva = 1000;
  std::string file(rva, 'x');
  file += stream;
  std::string head = file.substr(rva, 52 + 4 + 16);
  ASSERT_TRUE(FixUpCrashInfoRvas(rva, annotations.size(), &head));
  file.replace(rva, head.size(), head);
  EXPECT_EQ(rva + 52, Uint32At(file, rva + 40));
  const char* expected[] = {"a", "", "ver", "24.7.1.1076"};
  for (int i = 0; i < 4; ++i) {
    const uint32_t at = Uint32At(file, rva + 56 + 4 * i);
    const uint32_t length = Uint32At(file, at);
    EXPECT_EQ(expected[i], file.substr(at + 4, length)) << i;
    EXPECT_EQ('\0', file[at + 4 + length]) << i;
  }
}

TEST(CrashInfoStreamTest, FixUpRefusesAStreamOfAnotherShape) {
  const std::string stream =
      BuildCrashInfoStream(kReportId, GUID{}, {{"k", "v"}});
  std::string head = stream.substr(0, 52 + 4 + 8);
  std::string wrong_count = head;
  EXPECT_FALSE(FixUpCrashInfoRvas(0, 2, &wrong_count));
  // Already fixed up: the dictionary no longer sits at 52.
  std::string fixed = head;
  ASSERT_TRUE(FixUpCrashInfoRvas(100, 1, &fixed));
  EXPECT_FALSE(FixUpCrashInfoRvas(100, 1, &fixed));
}

TEST(CrashReportUrlTest, QueryFromTheKnownAnnotationsEscaped) {
  EXPECT_EQ("https://crash.example/submit?product=Norvel&version=24.7.1.1076"
            "&guid=a%20b",
            CrashReportUrl("https://crash.example",
                           {{"guid", "a b"},
                            {"prod", "Norvel"},
                            {"ver", "24.7.1.1076"},
                            {"uid", "x"}}));
  EXPECT_EQ("https://c/submit?guid=%C3%A9%25~-_.",
            CrashReportUrl("https://c", {{"guid", "\xc3\xa9%~-_."}}));
  EXPECT_EQ("https://c/submit", CrashReportUrl("https://c", {}));
}

TEST(CrashReportUrlTest, LongPiecesAreCutBetweenEscapes) {
  // "&guid=" and 121 plain characters: exactly 127.
  const std::string plain =
      CrashReportUrl("o", {{"prod", "p"}, {"guid", std::string(200, 'x')}});
  EXPECT_EQ("o/submit?product=p&guid=" + std::string(121, 'x'), plain);
  // Escapes of three characters: 40 of them fit in 126, a 41st would be cut
  // inside itself.
  std::string spaces;
  for (int i = 0; i < 40; ++i)
    spaces += "%20";
  EXPECT_EQ("o/submit?product=p&guid=" + spaces,
            CrashReportUrl("o", {{"prod", "p"}, {"guid", std::string(200, ' ')}}));
}

TEST(GuidTextTest, UpperCaseRegistryFormWithoutBraces) {
  EXPECT_EQ("01020304-0506-0708-090A-0B0C0D0E0F10", GuidText(kReportId));
  EXPECT_EQ("00000000-0000-0000-0000-000000000000", GuidText(GUID{}));
}

}  // namespace
}  // namespace crashpad
