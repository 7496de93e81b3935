#include "chrome/installer/norvel/util/network/download_observer.h"

#include <string>
#include <utility>

#include "gtest/gtest.h"

namespace installer {
namespace {

// Writes each call as text: "p0.5", "slow", "t60/1".
class TextObserver : public DownloadObserver {
 public:
  void SetProgress(float fraction) override {
    calls += "p" + std::to_string(fraction).substr(0, 4) + " ";
  }
  void OnSlowDownload() override { calls += "slow "; }
  void SetRemainingTime(int64_t seconds, RemainingTimeKind kind) override {
    calls += "t" + std::to_string(seconds) + "/" +
             std::to_string(static_cast<int>(kind)) + " ";
  }
  std::string Take() { return std::exchange(calls, std::string()); }
  std::string calls;
};

TEST(DownloadProgressReporterTest, UnknownLengthReportsNothing) {
  TextObserver observer;
  DownloadProgressReporter reporter(&observer, 0);
  reporter.OnBytesReceived(120000, 500, 0);
  EXPECT_EQ("", observer.Take());
}

TEST(DownloadProgressReporterTest, EstimatesAtMostOncePerMinute) {
  TextObserver observer;
  DownloadProgressReporter reporter(&observer, 1000);
  reporter.OnBytesReceived(1000 + 59999, 250, 1000);
  EXPECT_EQ("p0.25 ", observer.Take());
  // 60 s elapsed, half done: 60 s remain; 120 s in all is not slow.
  reporter.OnBytesReceived(1000 + 60000, 500, 1000);
  EXPECT_EQ("p0.50 t60/1 ", observer.Take());
  // The next estimate waits for another full minute.
  reporter.OnBytesReceived(1000 + 119999, 600, 1000);
  EXPECT_EQ("p0.60 ", observer.Take());
  // 120 s elapsed, 800 of 1000: (200 * 120000 / 800) / 1000 = 30 s left.
  reporter.OnBytesReceived(1000 + 120000, 800, 1000);
  EXPECT_EQ("p0.80 slow t30/1 ", observer.Take());
}

TEST(DownloadProgressReporterTest, SlowFromExactly121Seconds) {
  TextObserver observer;
  {
    DownloadProgressReporter reporter(&observer, 0);
    // 61 s elapsed; (496 * 61000 / 504) / 1000 = 60 s left: 121 in all.
    reporter.OnBytesReceived(61000, 504, 1000);
    EXPECT_EQ("p0.50 slow t60/1 ", observer.Take());
  }
  {
    DownloadProgressReporter reporter(&observer, 0);
    // 60 s elapsed; 60 s left: 120 in all.
    reporter.OnBytesReceived(60000, 500, 1000);
    EXPECT_EQ("p0.50 t60/1 ", observer.Take());
  }
}

// Bytes kept from an earlier attempt count toward the fraction and the bytes
// left, not toward this attempt's rate.
TEST(DownloadProgressReporterTest, ResumedAttemptEstimatesFromItsOwnRate) {
  TextObserver observer;
  DownloadProgressReporter reporter(&observer, 0, 500);
  // 60 s in, 250 more of 1000: 250 left at 250 a minute.
  reporter.OnBytesReceived(60000, 750, 1000);
  EXPECT_EQ("p0.75 t60/1 ", observer.Take());

  // Nothing arrived in this attempt yet: no rate, so no estimate.
  DownloadProgressReporter idle(&observer, 0, 500);
  idle.OnBytesReceived(90000, 500, 1000);
  EXPECT_EQ("p0.50 ", observer.Take());
}

TEST(DownloadProgressReporterTest, TickWrapAroundAndEdges) {
  TextObserver observer;
  // The tick counter wraps between start and now.
  DownloadProgressReporter reporter(&observer, 0xFFFFF000u);
  reporter.OnBytesReceived(0xFFFFF000u + 60000u, 500, 1000);
  EXPECT_EQ("p0.50 t60/1 ", observer.Take());

  // Nothing received yet: a fraction, no estimate (no division by zero).
  DownloadProgressReporter empty(&observer, 0);
  empty.OnBytesReceived(90000, 0, 1000);
  EXPECT_EQ("p0.00 ", observer.Take());

  // More held than announced: capped, never negative.
  DownloadProgressReporter over(&observer, 0);
  over.OnBytesReceived(70000, 1500, 1000);
  EXPECT_EQ("p1.00 t0/1 ", observer.Take());
}

}  // namespace
}  // namespace installer
