#include "chrome/installer/norvel/util/network/downloader.h"

#include <cctype>
#include <string>
#include <vector>

#include "base/strings.h"
#include "base/tick_clock.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/fake_services.h"
#include "test/support/matchers.h"
#include "test/support/resume_emulation.h"
#include "test/support/test_support.h"

namespace installer {
namespace {

using ::test::ContainsPattern;
using ::test::FakeServices;
using ::test::FullyMatches;
using ::testing::HasSubstr;

std::string Escape(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string result;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      result += static_cast<char>(c);
    } else {
      result += '%';
      result += kHex[c >> 4];
      result += kHex[c & 15];
    }
  }
  return result;
}

class DownloaderTest : public test::TestWithServices {
 protected:
  test::ScopedTempDir dir_;
};

TEST_F(DownloaderTest, OkWithContentLengthSendsProductHeaders) {
  std::string url = server().HttpUrl("/content/plain.bin?size=100000");
  Downloader downloader;
  std::string body;
  ASSERT_TRUE(downloader.DownloadToString(url, nullptr, &body))
      << base::WideToUTF8(downloader.last_error());
  EXPECT_EQ(FakeServices::PatternBytes(0, 100000), body);
  EXPECT_EQ(100000u, downloader.content_length());
  EXPECT_TRUE(downloader.last_error().empty());
  EXPECT_TRUE(downloader.final_url().empty());
  EXPECT_THAT(Log(), HasSubstr("Connection established: " + url));

  auto requests = NewRequests();
  ASSERT_EQ(1u, requests.size());
  const auto& r = requests[0];
  EXPECT_EQ("GET", r.method);
  EXPECT_EQ("/content/plain.bin?size=100000", r.path);
  EXPECT_EQ("Norvel.Browser lite installer", r.Header("User-Agent"));
  EXPECT_EQ("*/*", r.Header("Accept"));
  EXPECT_EQ("\"Windows\"", r.Header("Sec-CH-UA-Platform"));
  EXPECT_THAT(r.Header("Sec-CH-UA-Platform-Version"),
              FullyMatches("\"[0-9]+\\.[0-9]+\\.[0-9]+\""));
  EXPECT_FALSE(r.range.has_value());
  EXPECT_TRUE(r.complete);
}

TEST_F(DownloaderTest, OkWithoutContentLength) {
  std::string url =
      server().HttpUrl("/content/nolen.bin?size=70001&nolength=1");
  Downloader downloader;
  std::string body;
  ASSERT_TRUE(downloader.DownloadToString(url, nullptr, &body))
      << base::WideToUTF8(downloader.last_error());
  EXPECT_EQ(FakeServices::PatternBytes(0, 70001), body);
  EXPECT_EQ(0u, downloader.content_length());
}

TEST_F(DownloaderTest, NotFoundFailsWithStatusLabelAndWarning) {
  std::string url = server().HttpUrl("/content/missing?status=404&text=gone");
  Downloader downloader;
  MemoryDownloadSink sink;
  ASSERT_TRUE(downloader.OpenDownload(base::UTF8ToWide(url), &sink));
  EXPECT_EQ(0u, downloader.ReadChunk());
  EXPECT_EQ(0u, sink.bytes_written());
  DWORD status = 0;
  EXPECT_FALSE(downloader.FinalizeDownload(&status));
  EXPECT_EQ(404u, status);
  EXPECT_THAT(base::WideToUTF8(downloader.last_error()),
              FullyMatches("final_query_info-404-[0-9]+"));
  EXPECT_THAT(Log(),
              ContainsPattern("WARNING: Unsuccessful download: " +
                              std::string("http://127\\.0\\.0\\.1:") +
                              std::to_string(server().http_port()) +
                              "/content/missing\\?status=404&text=gone"));
  // Once failed, the download stays failed.
  EXPECT_EQ(0u, downloader.ReadChunk());
  status = 0;
  EXPECT_FALSE(downloader.FinalizeDownload(&status));
  EXPECT_EQ(0u, status);
}

TEST_F(DownloaderTest, RedirectChainKeepsFinalUrl) {
  std::string c = server().HttpUrl("/content/c.bin?size=5000");
  std::string b = server().HttpUrl("/content/b?redirect=" + Escape(c));
  std::string a =
      server().HttpUrl("/content/a?status=301&redirect=" + Escape(b));
  Downloader downloader;
  std::string body;
  ASSERT_TRUE(downloader.DownloadToString(a, nullptr, &body))
      << base::WideToUTF8(downloader.last_error());
  EXPECT_EQ(FakeServices::PatternBytes(0, 5000), body);
  EXPECT_EQ(base::UTF8ToWide(c), downloader.final_url());
  EXPECT_EQ(base::UTF8ToWide(a), downloader.url());

  auto requests = NewRequests();
  ASSERT_EQ(3u, requests.size());
  EXPECT_THAT(requests[0].path, HasSubstr("/content/a?"));
  EXPECT_EQ(301, requests[0].status);
  EXPECT_THAT(requests[1].path, HasSubstr("/content/b?"));
  EXPECT_EQ(302, requests[1].status);
  EXPECT_EQ("/content/c.bin?size=5000", requests[2].path);
}

// A sink holding bytes asks WinINet to resume at its count. Where WinINet
// cannot (Wine fails the call with 12016 and sends no Range), the sink is
// emptied and the download fails; where it can, the rest is requested.
TEST_F(DownloaderTest, SinkHoldingBytesResumesAtItsCount) {
  std::string url = server().HttpUrl("/content/resume.bin?size=3000");
  MemoryDownloadSink sink;
  std::string head = FakeServices::PatternBytes(0, 1000);
  ASSERT_TRUE(sink.Write(head.data(), 1000));
  Downloader downloader;
  ASSERT_TRUE(downloader.OpenDownload(base::UTF8ToWide(url), &sink));
  if (!downloader.last_error().empty()) {
    EXPECT_THAT(base::WideToUTF8(downloader.last_error()),
                FullyMatches("internet_set_file_pointer-[0-9]+"));
    EXPECT_EQ(0u, sink.bytes_written());
    EXPECT_TRUE(sink.data().empty());
    EXPECT_EQ(0u, downloader.ReadChunk());
    EXPECT_FALSE(downloader.FinalizeDownload(nullptr));
    EXPECT_THAT(base::WideToUTF8(downloader.last_error()),
                FullyMatches("internet_set_file_pointer-[0-9]+"));
  } else {
    while (downloader.ReadChunk() > 0) {
    }
    downloader.FinalizeDownload(nullptr);
    auto requests = NewRequests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ("bytes=1000-", requests.back().range.value_or(""));
  }
}

// A body is complete when the sink holds the whole resource, however many
// attempts filled it.
TEST(BodyCompleteTest, TheSinkMustHoldTheWholeResource) {
  // A fresh download: everything arrived in this attempt.
  EXPECT_TRUE(IsBodyComplete(3000, 3000));
  // A resumed one: 1000 kept, 2000 read now, the length the whole one's.
  EXPECT_TRUE(IsBodyComplete(1000 + 2000, 3000));
  // A sink that already held everything and read nothing more.
  EXPECT_TRUE(IsBodyComplete(3000 + 0, 3000));
  // Short: the connection dropped.
  EXPECT_FALSE(IsBodyComplete(2999, 3000));
  EXPECT_FALSE(IsBodyComplete(0, 3000));
  // No length announced: whatever came is the body.
  EXPECT_TRUE(IsBodyComplete(0, 0));
  EXPECT_TRUE(IsBodyComplete(123456, 0));
  // More than the resource is something else.
  EXPECT_FALSE(IsBodyComplete(3001, 3000));
  EXPECT_FALSE(IsBodyComplete(uint64_t{3000} + 0x100000000, 3000));
}

// Where a resume works (emulated here, as Wine cannot resume), the resumed
// body is judged by what the sink holds in all against the whole length.
TEST_F(DownloaderTest, ResumedBodyCompletesAgainstTheWholeLength) {
  test::ScopedResumeBySkipping resume;
  const std::string url = server().HttpUrl("/content/resumed.bin?size=100000");
  const std::string whole = FakeServices::PatternBytes(0, 100000);
  auto sink_holding = [&](uint32_t kept) {
    auto sink = std::make_unique<MemoryDownloadSink>();
    EXPECT_TRUE(sink->Write(whole.data(), kept));
    return sink;
  };
  Downloader downloader;

  auto resumed = sink_holding(40000);
  ASSERT_TRUE(downloader.Download(url, nullptr, resumed.get()))
      << base::WideToUTF8(downloader.last_error());
  EXPECT_EQ(whole, resumed->data());
  EXPECT_EQ(100000u, downloader.content_length());

  // Everything was there already: nothing more to read, and complete.
  auto full = sink_holding(100000);
  ASSERT_TRUE(downloader.Download(url, nullptr, full.get()))
      << base::WideToUTF8(downloader.last_error());
  EXPECT_EQ(whole, full->data());

  // Resumed but dropped again before the end: short, and the bytes stay.
  auto short_again = sink_holding(40000);
  EXPECT_FALSE(downloader.Download(
      server().HttpUrl("/content/resumed.bin?size=100000&drop=70000"), nullptr,
      short_again.get()));
  EXPECT_EQ(L"internet_read-12031", downloader.last_error());
  EXPECT_EQ(whole.substr(0, 70000), short_again->data());
}

// A connection dropped mid-body may read as a clean end; with a length
// announced, the short body must fail, keeping what arrived.
TEST_F(DownloaderTest, DropMidBodyFailsAndKeepsPartialBytes) {
  std::string url =
      server().HttpUrl("/content/drop.bin?size=200000&drop=50000");
  Downloader downloader;
  MemoryDownloadSink sink;
  EXPECT_FALSE(downloader.Download(url, nullptr, &sink));
  EXPECT_THAT(base::WideToUTF8(downloader.last_error()),
              FullyMatches("internet_read-[0-9]+"));
  EXPECT_EQ(50000u, sink.bytes_written());
  EXPECT_EQ(FakeServices::PatternBytes(0, 50000), sink.data());
  EXPECT_EQ(200000u, downloader.content_length());
  EXPECT_THAT(Log(), HasSubstr("WARNING: Unsuccessful download: " + url));

  // Without a length there is nothing to compare against: the bytes that
  // came are the body.
  std::string unannounced =
      server().HttpUrl("/content/drop2.bin?size=200000&drop=50000&nolength=1");
  MemoryDownloadSink sink2;
  EXPECT_TRUE(downloader.Download(unannounced, nullptr, &sink2));
  EXPECT_EQ(50000u, sink2.bytes_written());
}

TEST_F(DownloaderTest, DownloadToFileMovesCompleteFileOnly) {
  test::ScopedTempDir temp;
  test::ScopedTempPathOverride temp_override(temp.path());
  std::wstring target = dir_.Append(L"target.bin");
  ASSERT_TRUE(test::WriteStringToFile(target, "old contents"));

  Downloader downloader;
  ASSERT_TRUE(downloader.DownloadToFile(
      server().HttpUrl("/content/file.bin?size=100003"), target, nullptr));
  std::string contents;
  ASSERT_TRUE(test::ReadFileToString(target, &contents));
  EXPECT_EQ(FakeServices::PatternBytes(0, 100003), contents);

  // A truncated download leaves the target as it was.
  EXPECT_FALSE(downloader.DownloadToFile(
      server().HttpUrl("/content/file.bin?size=100003&drop=40000"), target,
      nullptr));
  ASSERT_TRUE(test::ReadFileToString(target, &contents));
  EXPECT_EQ(100003u, contents.size());

  // No temporary file is left behind either way.
  WIN32_FIND_DATAW find;
  HANDLE h = ::FindFirstFileW((temp.path() + L"\\*.tmp").c_str(), &find);
  EXPECT_EQ(INVALID_HANDLE_VALUE, h);
  if (h != INVALID_HANDLE_VALUE)
    ::FindClose(h);
}

// Signals the stop event as soon as the first piece arrives.
class StoppingSink : public MemoryDownloadSink {
 public:
  explicit StoppingSink(HANDLE event) : event_(event) {}
  bool Write(const void* bytes, uint32_t count) override {
    ++writes_;
    ::SetEvent(event_);
    return MemoryDownloadSink::Write(bytes, count);
  }
  int writes_ = 0;

 private:
  HANDLE event_;
};

TEST_F(DownloaderTest, StopEventHonouredBetweenChunks) {
  base::ScopedKernelHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  StoppingSink sink(stop.get());
  Downloader downloader;
  EXPECT_FALSE(downloader.Download(
      server().HttpUrl("/content/big.bin?size=4000000"), stop.get(), &sink));
  EXPECT_EQ(1, sink.writes_);
  EXPECT_LE(sink.bytes_written(), Downloader::kBufferSize);
  EXPECT_TRUE(downloader.last_error().empty());

  // DownloadWithProgress polls before each read: nothing is read at all.
  MemoryDownloadSink untouched;
  EXPECT_FALSE(
      DownloadWithProgress(server().HttpUrlW("/content/big.bin?size=4000000"),
                           &untouched, stop.get(), nullptr)
          .ok);
  EXPECT_EQ(0u, untouched.bytes_written());
}

// A server that stalls is given up on after the downloader's receive
// time-out, not the platform's (Wine has none). Wine honours it both while
// waiting for the response and mid-body because the downloader sets it on
// the request as the request is created. The stalls end on their own after
// 12 s, so a download that is not cut short still ends.
TEST_F(DownloaderTest, StalledServerIsGivenUpAfterTheReceiveTimeout) {
  Downloader::Timeouts timeouts;
  timeouts.receive_ms = 1500;
  struct Case {
    const char* path;
    const char* label;
  };
  const Case cases[] = {
      {"/content/mute.bin?size=1000&stall=12", "internet_open_url-[0-9]+"},
      {"/content/halt.bin?size=200000&stall_after=40000&stall=12",
       "internet_read-[0-9]+"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Downloader downloader;
    downloader.set_timeouts_for_testing(timeouts);
    MemoryDownloadSink sink;
    const DWORD start = ::GetTickCount();
    EXPECT_FALSE(downloader.Download(server().HttpUrl(c.path), nullptr, &sink));
    const DWORD elapsed = ::GetTickCount() - start;
    EXPECT_GE(elapsed, 1400u);
    EXPECT_LT(elapsed, 8000u);
    EXPECT_THAT(base::WideToUTF8(downloader.last_error()),
                FullyMatches(c.label));
  }
}

TEST_F(DownloaderTest, HttpsFromLocalhost) {
  ASSERT_NE(0, server().https_port());
  std::string url = server().HttpsUrl("/content/secure.bin?size=70000");
  Downloader downloader;
  std::string body;
  ASSERT_TRUE(downloader.DownloadToString(url, nullptr, &body))
      << base::WideToUTF8(downloader.last_error()) << server().ServerLog();
  EXPECT_EQ(FakeServices::PatternBytes(0, 70000), body);
  auto requests = NewRequests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("https", requests[0].scheme);
}

class RefusingSink : public DownloadSink {
 public:
  bool Write(const void*, uint32_t) override {
    ::SetLastError(ERROR_DISK_FULL);
    return false;
  }
  bool Reset() override { return true; }
};

TEST_F(DownloaderTest, OpenAndWriteFailuresCarryLabels) {
  Downloader downloader;
  RefusingSink refusing;
  EXPECT_FALSE(downloader.Download(server().HttpUrl("/content/x?size=10"),
                                   nullptr, &refusing));
  EXPECT_EQ(L"write_file-112", downloader.last_error());

  // Nothing listens on port 1 of the loopback address.
  MemoryDownloadSink sink;
  EXPECT_FALSE(downloader.Download("http://127.0.0.1:1/none", nullptr, &sink));
  EXPECT_THAT(base::WideToUTF8(downloader.last_error()),
              FullyMatches("internet_open_url-[0-9]+"));
  EXPECT_EQ(0u, downloader.exception().code);
}

TEST_F(DownloaderTest, QueryResponseHeader) {
  std::string long_value(600, 'v');
  ASSERT_TRUE(server().AddRule(
      "/headers", R"({"text": "x", "header": ["X-Short: abc", "X-Long: )" +
                      long_value + R"("]})"));
  Downloader downloader;
  MemoryDownloadSink sink;
  ASSERT_TRUE(downloader.OpenDownload(server().HttpUrlW("/headers"), &sink));
  EXPECT_EQ("abc", downloader.QueryResponseHeader("X-Short"));
  EXPECT_EQ(long_value, downloader.QueryResponseHeader("X-Long"));
  EXPECT_EQ("", downloader.QueryResponseHeader("X-Absent"));
}

// Records every observer call in order.
class RecordingObserver : public DownloadObserver {
 public:
  struct Call {
    char kind;  // 'p' progress, 's' slow, 't' remaining time
    float fraction = 0;
    int64_t seconds = 0;
    RemainingTimeKind time_kind = RemainingTimeKind::kUnknown;
  };
  void SetProgress(float fraction) override {
    calls.push_back({'p', fraction});
  }
  void OnSlowDownload() override { calls.push_back({'s'}); }
  void SetRemainingTime(int64_t seconds, RemainingTimeKind kind) override {
    calls.push_back({'t', 0, seconds, kind});
  }
  std::vector<Call> calls;
};

// Every reading advances time by 25 seconds.
class SteppingClock : public base::TickClock {
 public:
  DWORD GetTickCount() const override { return now_ += 25000; }
  mutable DWORD now_ = 0;
};

TEST_F(DownloaderTest, DownloadWithProgressReportsFractionsAndEstimates) {
  SteppingClock clock;
  base::ScopedTickClockForTesting scoped_clock(&clock);
  RecordingObserver observer;
  MemoryDownloadSink sink;
  const DownloadResult result = DownloadWithProgress(
      server().HttpUrlW("/content/progress.bin?size=1000000"), &sink, nullptr,
      &observer);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(1000000u, sink.bytes_written());
  EXPECT_TRUE(result.error.empty());
  EXPECT_TRUE(result.final_url.empty());
  EXPECT_EQ(1000000u, result.content_length);

  const auto& calls = observer.calls;
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ('p', calls[0].kind);
  EXPECT_EQ(0.0f, calls[0].fraction);
  EXPECT_EQ('t', calls[1].kind);
  EXPECT_EQ(-1, calls[1].seconds);
  EXPECT_EQ(RemainingTimeKind::kUnknown, calls[1].time_kind);
  EXPECT_EQ('p', calls[calls.size() - 2].kind);
  EXPECT_EQ(1.0f, calls[calls.size() - 2].fraction);
  EXPECT_EQ(RemainingTimeKind::kFinished, calls.back().time_kind);

  float last = 0;
  int estimates = 0;
  for (size_t i = 2; i + 2 < calls.size(); ++i) {
    if (calls[i].kind == 'p') {
      EXPECT_GE(calls[i].fraction, last);
      last = calls[i].fraction;
    } else if (calls[i].kind == 't') {
      EXPECT_EQ(RemainingTimeKind::kEstimate, calls[i].time_kind);
      ++estimates;
    }
  }
  // Dozens of reads 25 fake seconds apart: the download takes many minutes,
  // so there are estimates, each announced as slow.
  EXPECT_GE(estimates, 2);
  for (size_t i = 1; i < calls.size(); ++i) {
    if (calls[i].kind == 't' &&
        calls[i].time_kind == RemainingTimeKind::kEstimate) {
      EXPECT_EQ('s', calls[i - 1].kind);
    }
  }
}

// A resumed attempt reports against the whole resource: it starts where the
// kept bytes end, not at zero, and finishes at one.
TEST_F(DownloaderTest, DownloadWithProgressResumedStartsWhereTheSinkEnds) {
  test::ScopedResumeBySkipping resume;
  SteppingClock clock;
  base::ScopedTickClockForTesting scoped_clock(&clock);
  RecordingObserver observer;
  MemoryDownloadSink sink;
  const std::string head = FakeServices::PatternBytes(0, 400000);
  ASSERT_TRUE(sink.Write(head.data(), 400000));
  const DownloadResult result = DownloadWithProgress(
      server().HttpUrlW("/content/progress.bin?size=1000000"), &sink, nullptr,
      &observer);
  ASSERT_TRUE(result.ok) << base::WideToUTF8(result.error);
  EXPECT_EQ(FakeServices::PatternBytes(0, 1000000), sink.data());

  const auto& calls = observer.calls;
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ('p', calls[0].kind);
  EXPECT_GT(calls[0].fraction, 0.4f);
  float last = 0;
  for (const auto& call : calls) {
    if (call.kind == 'p') {
      EXPECT_GE(call.fraction, last);
      last = call.fraction;
    }
  }
  EXPECT_EQ(1.0f, last);
  EXPECT_EQ(RemainingTimeKind::kFinished, calls.back().time_kind);
}

TEST_F(DownloaderTest, DownloadWithProgressWithoutLengthOnlyStartsAndEnds) {
  SteppingClock clock;
  base::ScopedTickClockForTesting scoped_clock(&clock);
  RecordingObserver observer;
  MemoryDownloadSink sink;
  ASSERT_TRUE(
      DownloadWithProgress(
          server().HttpUrlW("/content/nolen.bin?size=500000&nolength=1"), &sink,
          nullptr, &observer)
          .ok);
  ASSERT_EQ(4u, observer.calls.size());
  EXPECT_EQ(0.0f, observer.calls[0].fraction);
  EXPECT_EQ(RemainingTimeKind::kUnknown, observer.calls[1].time_kind);
  EXPECT_EQ(1.0f, observer.calls[2].fraction);
  EXPECT_EQ(RemainingTimeKind::kFinished, observer.calls[3].time_kind);
}

TEST_F(DownloaderTest, DownloadWithProgressReportsFailures) {
  RecordingObserver observer;
  MemoryDownloadSink sink;
  std::string target = server().HttpUrl("/content/nf?status=404");
  const DownloadResult refused = DownloadWithProgress(
      server().HttpUrlW("/content/r?redirect=" + Escape(target)), &sink,
      nullptr, &observer);
  EXPECT_FALSE(refused.ok);
  EXPECT_THAT(base::WideToUTF8(refused.error),
              FullyMatches("final_query_info-404-[0-9]+"));
  EXPECT_EQ(base::UTF8ToWide(target), refused.final_url);
  for (const auto& call : observer.calls)
    EXPECT_NE(RemainingTimeKind::kFinished, call.time_kind);

  // A failure to open still tells the caller why.
  const DownloadResult unopened =
      DownloadWithProgress(L"http://127.0.0.1:1/x", &sink, nullptr, nullptr);
  EXPECT_FALSE(unopened.ok);
  EXPECT_THAT(base::WideToUTF8(unopened.error),
              FullyMatches("internet_open_url-[0-9]+"));
  EXPECT_EQ(0u, unopened.exception.code);
}

// Signals the stop event when the first piece is reported.
class StoppingObserver : public DownloadObserver {
 public:
  explicit StoppingObserver(HANDLE event) : event_(event) {}
  void SetProgress(float fraction) override {
    if (fraction > 0)
      ::SetEvent(event_);
  }
  void OnSlowDownload() override {}
  void SetRemainingTime(int64_t, RemainingTimeKind) override {}

 private:
  HANDLE event_;
};

// The stop handle is not polled before every read, but a stop while data
// flows still ends the download within the poll interval and one read.
TEST_F(DownloaderTest, DownloadWithProgressStopsWithinThePollInterval) {
  base::ScopedKernelHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  StoppingObserver observer(stop.get());
  MemoryDownloadSink sink;
  // Twenty pieces of one read each, further apart than the interval.
  static_assert(kStopPollIntervalMs < 40);
  const DownloadResult result = DownloadWithProgress(
      server().HttpUrlW(
          "/content/slow.bin?size=655360&trickle=32768&trickle_ms=40"),
      &sink, stop.get(), &observer);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.error.empty()) << base::WideToUTF8(result.error);
  EXPECT_GT(sink.bytes_written(), 0u);
  EXPECT_LE(sink.bytes_written(), 2 * Downloader::kBufferSize);
}

// The body is streamed to the file: a 128 MiB download may not raise the
// process's peak memory by more than a small fraction of that (holding the
// body in memory raises it by the whole size).
TEST_F(DownloaderTest, MemoryStaysFlatOnLargeDownload) {
  constexpr uint32_t kSize = 128 << 20;
  size_t before = test::PeakWorkingSetBytes();
  ASSERT_NE(0u, before);
  std::wstring target = dir_.Append(L"large.bin");
  Downloader downloader;
  ASSERT_TRUE(downloader.DownloadToFile(
      server().HttpUrl("/content/large.bin?size=" + std::to_string(kSize)),
      target, nullptr));
  size_t after = test::PeakWorkingSetBytes();
  EXPECT_LT(after - before, size_t{8} << 20) << before << " -> " << after;

  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(
      ::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(kSize, data.nFileSizeLow);
}

}  // namespace
}  // namespace installer
