#include "crash/http_transport_win.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "crash/file_reader.h"
#include "crash/http_multipart_builder.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/fake_services.h"
#include "test/support/matchers.h"
#include "test/support/platform_log_capture.h"
#include "test/support/scripted_body_stream.h"
#include "test/support/test_support.h"

namespace crashpad {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::Pair;
using ::testing::StartsWith;

std::string PatternBytes(size_t offset, size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((offset + i) % 251);
  return bytes;
}

// The transport against the loopback collector, with what it handed to
// WinHttpWriteData kept buffer by buffer.
class UploadTransportTest : public test::TestWithServices {
 protected:
  void SetUp() override {
    test::TestWithServices::SetUp();
    UploadTransport::SetWriteObserverForTesting(&Observe, this);
  }
  void TearDown() override {
    UploadTransport::SetWriteObserverForTesting(nullptr, nullptr);
  }
  static void Observe(const void* data, size_t size, void* context) {
    static_cast<UploadTransportTest*>(context)->writes_.emplace_back(
        static_cast<const char*>(data), size);
  }
  std::string Written() const {
    std::string all;
    for (const std::string& write : writes_)
      all += write;
    return all;
  }
  std::unique_ptr<UploadTransport> Transport(std::vector<int64_t> script,
                                             const std::string& path) {
    std::unique_ptr<UploadTransport> transport = UploadTransport::Create();
    transport->SetUrl(server().HttpUrl(path));
    transport->SetBodyStream(
        std::make_unique<test::ScriptedBodyStream>(std::move(script)));
    return transport;
  }

  std::vector<std::string> writes_;
  test::ScopedPlatformLogCapture platform_log_;
};

TEST_F(UploadTransportTest, SendsAGzipMultipartReportInChunks) {
  test::ScopedTempDir dir;
  const std::string dump = PatternBytes(0, 100000);
  ASSERT_TRUE(test::WriteStringToFile(dir.Append(L"d.dmp"), dump));
  FileReader reader;
  ASSERT_TRUE(reader.Open(dir.Append(L"d.dmp")));
  MultipartBodyBuilder builder;
  builder.SetGzipEnabled(true);
  builder.SetFormField("ver", "24.7.1.1076");
  builder.SetFormField("prod", "Norvel");
  builder.SetFileAttachment("upload_file_minidump", "U.dmp", &reader,
                            "application/octet-stream");
  std::unique_ptr<UploadTransport> transport = UploadTransport::Create();
  HttpHeaders headers;
  builder.GetContentHeaders(&headers);
  for (const auto& [name, value] : headers)
    transport->SetHeader(name, value);
  transport->SetBodyStream(builder.GetBodyStream());
  transport->SetUrl(server().HttpUrl("/submit?product=Norvel&guid=a%20b"));
  transport->SetMethod("POST");
  std::string response;
  ASSERT_TRUE(transport->Execute(&response)) << platform_log_.Text();
  EXPECT_EQ("ok", response);
  EXPECT_EQ("", platform_log_.Text());

  std::vector<test::RecordedRequest> requests = server().CrashReports(since_);
  ASSERT_EQ(1u, requests.size());
  const test::RecordedRequest& request = requests[0];
  EXPECT_EQ("POST", request.method);
  EXPECT_EQ("/submit?product=Norvel&guid=a%20b", request.path);
  EXPECT_THAT(request.crash.query,
              ElementsAre(Pair("product", "Norvel"), Pair("guid", "a b")));
  EXPECT_EQ(headers["Content-Type"], request.Header("Content-Type"));
  EXPECT_EQ("gzip", request.Header("Content-Encoding"));
  EXPECT_EQ("chunked", request.Header("Transfer-Encoding"));
  EXPECT_EQ(UserAgent(), request.Header("User-Agent"));
  EXPECT_THAT(request.Header("User-Agent"),
              test::FullyMatches("Crashpad/0\\.8\\.0 WinHTTP/[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+.*"));

  // The body as the collector decoded it, as it was handed to WinHTTP.
  EXPECT_EQ(Written(), request.body);
  const test::CrashReport& report = request.crash;
  ASSERT_EQ("", report.error);
  EXPECT_THAT(report.fields, ElementsAre(Pair("prod", "Norvel"),
                                         Pair("ver", "24.7.1.1076")));
  ASSERT_EQ(1u, report.attachments.size());
  EXPECT_EQ("upload_file_minidump", report.attachments[0].name);
  EXPECT_EQ("U.dmp", report.attachments[0].file_name);
  EXPECT_EQ("application/octet-stream", report.attachments[0].type);
  EXPECT_EQ(dump, report.attachments[0].bytes);
}

TEST_F(UploadTransportTest, FramesEachReadAsOneChunk) {
  std::unique_ptr<UploadTransport> transport =
      Transport({255, 32768, 1}, "/submit");
  std::string response;
  ASSERT_TRUE(transport->Execute(&response)) << platform_log_.Text();
  ASSERT_EQ(4u, writes_.size());
  EXPECT_EQ("ff\r\n" + PatternBytes(0, 255) + "\r\n", writes_[0]);
  EXPECT_EQ("8000\r\n" + PatternBytes(255, 32768) + "\r\n", writes_[1]);
  EXPECT_EQ("1\r\n" + PatternBytes(255 + 32768, 1) + "\r\n", writes_[2]);
  EXPECT_EQ("0\r\n\r\n", writes_[3]);
  // And so they arrive.
  std::vector<test::RecordedRequest> requests = server().CrashReports(since_);
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(Written(), requests[0].body);
  EXPECT_EQ("ff", ChunkSizeText(255));
  EXPECT_EQ("8000", ChunkSizeText(32768));
  EXPECT_EQ("0", ChunkSizeText(0));
}

TEST_F(UploadTransportTest, AStatusOtherThan200FailsAfterTheWholeBody) {
  ASSERT_TRUE(server().AddRule("/submit", "{\"status\": 500}", false, 1));
  std::unique_ptr<UploadTransport> transport =
      Transport({1000, 1000}, "/submit");
  std::string response;
  EXPECT_FALSE(transport->Execute(&response));
  EXPECT_THAT(Written(), EndsWith("\r\n0\r\n\r\n"));
  EXPECT_EQ(3u, writes_.size());
  EXPECT_EQ("ERROR: HTTP status 500\n", platform_log_.Text());
  EXPECT_EQ(1u, NewRequests().size());
}

TEST_F(UploadTransportTest, ABodyReadErrorFailsBeforeTheLastChunk) {
  std::unique_ptr<UploadTransport> transport =
      Transport({10, -1}, "/submit");
  std::string response;
  EXPECT_FALSE(transport->Execute(&response));
  ASSERT_EQ(1u, writes_.size());
  EXPECT_EQ("a\r\n" + PatternBytes(0, 10) + "\r\n", writes_[0]);
}

TEST_F(UploadTransportTest, AStalledServerFailsAtTheTimeout) {
  ASSERT_TRUE(server().AddRule("/submit", "{\"stall\": 8}", false, 1));
  std::unique_ptr<UploadTransport> transport = Transport({10}, "/submit");
  transport->SetTimeout(1);
  const DWORD start = ::GetTickCount();
  std::string response;
  EXPECT_FALSE(transport->Execute(&response));
  EXPECT_LT(::GetTickCount() - start, 6000u);
  ASSERT_EQ(1u, platform_log_.Lines().size()) << platform_log_.Text();
  EXPECT_THAT(platform_log_.Lines()[0], StartsWith("ERROR: WinHttpReceiveResponse: "));
  // Time-out as WinHTTP names it, or as this Wine's sockets do.
  EXPECT_THAT(platform_log_.Lines()[0], test::ContainsPattern("0x(2ee2|274c)\\)?$"));
}

TEST_F(UploadTransportTest, AnUnreachableServerIsReportedByTheFailingCall) {
  std::unique_ptr<UploadTransport> transport = UploadTransport::Create();
  transport->SetUrl("http://127.0.0.1:9/submit");
  std::string response;
  EXPECT_FALSE(transport->Execute(&response));
  ASSERT_EQ(1u, platform_log_.Lines().size()) << platform_log_.Text();
  EXPECT_THAT(platform_log_.Lines()[0],
              test::FullyMatches("ERROR: WinHttpSendRequest: (.+[^ ] \\(0x2efd\\)|"
                                 "error 0x[0-9a-f]+ while retrieving error 0x2efd)"));
}

TEST(UserAgentTest, SystemPartOnlyForWindowsNtKernels) {
  VS_FIXEDFILEINFO winhttp = {};
  winhttp.dwFileVersionMS = MAKELONG(0, 10);
  winhttp.dwFileVersionLS = MAKELONG(1, 19041);
  VS_FIXEDFILEINFO kernel32 = winhttp;
  kernel32.dwFileVersionLS = MAKELONG(2, 19041);
  kernel32.dwFileOS = VOS_NT_WINDOWS32;
  EXPECT_EQ("Crashpad/0.8.0 WinHTTP/10.0.19041.1 Windows_NT/10.0.19041.2 "
            "(x86; WoW64)",
            FormatUserAgent(&winhttp, &kernel32, true));
  EXPECT_EQ("Crashpad/0.8.0 WinHTTP/10.0.19041.1 Windows_NT/10.0.19041.2 (x86)",
            FormatUserAgent(&winhttp, &kernel32, false));
  // Wine's kernel32 says file OS 0.
  kernel32.dwFileOS = 0;
  EXPECT_EQ("Crashpad/0.8.0 WinHTTP/10.0.19041.1",
            FormatUserAgent(&winhttp, &kernel32, true));
  EXPECT_EQ("Crashpad/0.8.0 WinHTTP", FormatUserAgent(nullptr, nullptr, false));
}

}  // namespace
}  // namespace crashpad
