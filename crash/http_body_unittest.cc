#include "crash/http_body.h"

#include <windows.h>

#include <zlib.h>

#include <memory>
#include <string>

#include "crash/file_io_win.h"
#include "crash/file_reader.h"
#include "crash/http_body_gzip.h"
#include "crash/http_multipart_builder.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/platform_log_capture.h"
#include "test/support/matchers.h"
#include "test/support/scripted_body_stream.h"
#include "test/support/test_support.h"

namespace crashpad {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 7 + i / 300) % 256);
  return bytes;
}

std::string Gunzip(const std::string& compressed, bool* ok) {
  z_stream z = {};
  *ok = inflateInit2(&z, 15 + 16) == Z_OK;
  std::string out;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  z.avail_in = static_cast<uInt>(compressed.size());
  char buffer[65536];
  int result = Z_OK;
  while (*ok && result == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof(buffer);
    result = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof(buffer) - z.avail_out);
  }
  *ok = *ok && result == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  return out;
}

std::unique_ptr<BodyStream> Gzip(const std::string& data) {
  return std::make_unique<GzipBodyStream>(
      std::make_unique<StringBodyStream>(data));
}

TEST(GzipBodyStreamTest, RoundTripsAcrossItsInputBufferSize) {
  for (size_t size : {0u, 1u, 4095u, 4096u, 4097u, 1024u * 1024u}) {
    const std::string data = Pattern(size);
    std::unique_ptr<BodyStream> stream = Gzip(data);
    const std::string compressed = test::ReadWholeStream(stream.get(), 32768);
    ASSERT_GE(compressed.size(), 18u) << size;
    EXPECT_EQ("\x1f\x8b\x08", compressed.substr(0, 3)) << size;
    bool ok = false;
    EXPECT_EQ(data, Gunzip(compressed, &ok)) << size;
    EXPECT_TRUE(ok) << size;
    // Exhausted streams stay so.
    uint8_t byte;
    EXPECT_EQ(0, stream->Read(&byte, 1));
    // One byte at a time gives the same bytes.
    std::unique_ptr<BodyStream> again = Gzip(data);
    EXPECT_EQ(compressed, test::ReadWholeStream(again.get(), 1)) << size;
  }
}

TEST(GzipBodyStreamTest, ReadsItsSourceInPiecesOf4096) {
  auto source = std::make_unique<test::ScriptedBodyStream>(
      std::vector<int64_t>{4096, 4096, 100});
  test::ScriptedBodyStream* scripted = source.get();
  GzipBodyStream stream(std::move(source));
  bool error = true;
  const std::string compressed = test::ReadWholeStream(&stream, 32768, &error);
  EXPECT_FALSE(error);
  // Three pieces and the end.
  EXPECT_EQ(4, scripted->reads());
  bool ok = false;
  EXPECT_EQ(8292u, Gunzip(compressed, &ok).size());
}

TEST(GzipBodyStreamTest, ASourceErrorSticks) {
  GzipBodyStream stream(std::make_unique<test::ScriptedBodyStream>(
      std::vector<int64_t>{100, -1, 100}));
  uint8_t buffer[64];
  EXPECT_EQ(-1, stream.Read(buffer, sizeof(buffer)));
  EXPECT_EQ(-1, stream.Read(buffer, sizeof(buffer)));
  EXPECT_EQ(-1, stream.Read(buffer, sizeof(buffer)));
}

TEST(ChainedBodyStreamTest, FillsAcrossPartsAndStopsAtAnError) {
  std::vector<std::unique_ptr<BodyStream>> parts;
  parts.push_back(std::make_unique<StringBodyStream>("ab"));
  parts.push_back(std::make_unique<StringBodyStream>(""));
  parts.push_back(std::make_unique<StringBodyStream>("cde"));
  ChainedBodyStream chain(std::move(parts));
  uint8_t buffer[4];
  ASSERT_EQ(4, chain.Read(buffer, 4));
  EXPECT_EQ("abcd", std::string(reinterpret_cast<char*>(buffer), 4));
  EXPECT_EQ(1, chain.Read(buffer, 4));
  EXPECT_EQ(0, chain.Read(buffer, 4));

  std::vector<std::unique_ptr<BodyStream>> failing;
  failing.push_back(std::make_unique<StringBodyStream>("ab"));
  failing.push_back(std::make_unique<test::ScriptedBodyStream>(
      std::vector<int64_t>{-1}));
  ChainedBodyStream broken(std::move(failing));
  EXPECT_EQ(-1, broken.Read(buffer, 4));
}

TEST(FileIoTest, AFailingReadIsReportedWithTheSystemError) {
  test::ScopedTempDir dir;
  const std::wstring path = dir.Append(L"f");
  ASSERT_TRUE(test::WriteStringToFile(path, "data"));
  HANDLE write_only = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, write_only);
  test::ScopedPlatformLogCapture log;
  char buffer[4];
  EXPECT_EQ(-1, ReadFileOnce(write_only, buffer, sizeof(buffer)));
  ::CloseHandle(write_only);
  ASSERT_EQ(1u, log.Lines().size()) << log.Text();
  EXPECT_THAT(log.Lines()[0], test::FullyMatches("ERROR: ReadFile: .+[^ ] \\(0x5\\)"));
  // A code without a message text names the lookup's failure instead.
  EXPECT_THAT(FailedCallMessage(0x2badf00d),
              test::FullyMatches("error 0x[0-9a-f]+ while retrieving error 0x2badf00d"));
}

TEST(FileBodyStreamTest, ReadsTheFileFromItsPosition) {
  test::ScopedTempDir dir;
  const std::string data = Pattern(70000);
  ASSERT_TRUE(test::WriteStringToFile(dir.Append(L"f"), data));
  FileReader reader;
  ASSERT_TRUE(reader.Open(dir.Append(L"f")));
  FileBodyStream stream(&reader);
  EXPECT_EQ(data, test::ReadWholeStream(&stream, 32768));
  uint8_t byte;
  EXPECT_EQ(0, stream.Read(&byte, 1));
  EXPECT_FALSE(FileReader().Open(dir.Append(L"missing")));
}

class MultipartBodyBuilderTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::WriteStringToFile(dir_.Append(L"dump"), "MDMP"));
    ASSERT_TRUE(reader_.Open(dir_.Append(L"dump")));
  }
  std::string Body(const MultipartBodyBuilder& builder, size_t read_size) {
    std::unique_ptr<BodyStream> stream = builder.GetBodyStream();
    return test::ReadWholeStream(stream.get(), read_size);
  }

  test::ScopedTempDir dir_;
  FileReader reader_;
};

TEST_F(MultipartBodyBuilderTest, ExactBytesWithEncodedNames) {
  MultipartBodyBuilder builder;
  const std::string b = builder.boundary();
  builder.SetFormField("z\"q", "value \"as is\"\r\n%");
  builder.SetFormField("a%\n", "1");
  builder.SetFileAttachment("upload\"", "name\r.dmp", &reader_,
                            "application/octet-stream");
  const std::string expected =
      "--" + b + "\r\nContent-Disposition: form-data; name=\"a%25%0a\"\r\n\r\n"
      "1\r\n"
      "--" + b + "\r\nContent-Disposition: form-data; name=\"z%22q\"\r\n\r\n"
      "value \"as is\"\r\n%\r\n"
      "--" + b + "\r\nContent-Disposition: form-data; name=\"upload%22\"; "
      "filename=\"name%0d.dmp\"\r\nContent-Type: application/octet-stream\r\n"
      "\r\nMDMP\r\n"
      "--" + b + "--\r\n";
  EXPECT_EQ(expected, Body(builder, 32768));
}

TEST_F(MultipartBodyBuilderTest, EmptyBodyStillCloses) {
  MultipartBodyBuilder builder;
  EXPECT_EQ("--" + builder.boundary() + "--\r\n", Body(builder, 32768));
}

TEST_F(MultipartBodyBuilderTest, AFieldAndAnAttachmentReplaceEachOther) {
  MultipartBodyBuilder builder;
  builder.SetFormField("x", "old");
  builder.SetFormField("x", "new");
  EXPECT_THAT(Body(builder, 32768), HasSubstr("\r\n\r\nnew\r\n"));
  builder.SetFileAttachment("x", "f", &reader_, "a/b");
  std::string body = Body(builder, 32768);
  EXPECT_THAT(body, HasSubstr("filename=\"f\""));
  EXPECT_THAT(body, Not(HasSubstr("new")));
  builder.SetFormField("x", "again");
  body = Body(builder, 32768);
  EXPECT_THAT(body, Not(HasSubstr("filename=")));
  EXPECT_THAT(body, HasSubstr("again"));
}

TEST_F(MultipartBodyBuilderTest, BoundaryIsNewForEachBuilder) {
  MultipartBodyBuilder first;
  MultipartBodyBuilder second;
  EXPECT_NE(first.boundary(), second.boundary());
  for (const MultipartBodyBuilder* builder : {&first, &second}) {
    EXPECT_EQ(MultipartBodyBuilder::kBoundaryLength, builder->boundary().size());
    EXPECT_THAT(builder->boundary(),
                test::FullyMatches("---MultipartBoundary-[0-9A-Za-z]{32}---"));
  }
  // The same contents in the same order, boundary aside.
  first.SetFormField("k", "v");
  second.SetFormField("k", "v");
  std::string a = Body(first, 32768);
  const std::string b = Body(second, 32768);
  for (size_t at = a.find(first.boundary()); at != std::string::npos;
       at = a.find(first.boundary(), at)) {
    a.replace(at, first.boundary().size(), second.boundary());
  }
  EXPECT_EQ(b, a);
}

TEST_F(MultipartBodyBuilderTest, HeadersAndCompressedBody) {
  MultipartBodyBuilder builder;
  builder.SetFormField("k", "v");
  builder.SetFileAttachment("f", "f.dmp", &reader_, "application/octet-stream");
  HttpHeaders plain;
  builder.GetContentHeaders(&plain);
  EXPECT_EQ((HttpHeaders{{"Content-Type",
                          "multipart/form-data; boundary=" + builder.boundary()}}),
            plain);
  const std::string uncompressed = Body(builder, 32768);
  ASSERT_TRUE(reader_.Open(dir_.Append(L"dump")));

  builder.SetGzipEnabled(true);
  HttpHeaders gzip;
  builder.GetContentHeaders(&gzip);
  EXPECT_EQ("gzip", gzip["Content-Encoding"]);
  const std::string compressed = Body(builder, 1);
  bool ok = false;
  EXPECT_EQ(uncompressed, Gunzip(compressed, &ok));
  EXPECT_TRUE(ok);
}

LITE_CHILD_MAIN(attach_with_bad_content_type) {
  MultipartBodyBuilder builder;
  builder.SetFileAttachment("f", "f", nullptr, "text/plain; charset=utf-8");
  return 0;
}

TEST(MultipartContentTypeTest, ABadContentTypeEndsTheProcess) {
  test::ChildProcess child = test::StartChild("attach_with_bad_content_type");
  ASSERT_TRUE(child.Wait(30000));
  EXPECT_EQ(0xC000000Du, child.exit_code());
}

}  // namespace
}  // namespace crashpad
