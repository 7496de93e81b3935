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

// What a fresh reporter says at its first report.
TEST(DownloadProgressReporterTest, FirstReport) {
  struct Case {
    const char* name;
    DWORD start_tick;
    uint32_t kept;  // bytes held from an earlier attempt
    DWORD now;
    uint32_t received;
    uint32_t total;
    const char* expected;
  };
  const Case cases[] = {
      {"unknown length reports nothing", 0, 0, 120000, 500, 0, ""},
      // 61 s elapsed; (496 * 61000 / 504) / 1000 = 60 s left: 121 in all.
      {"slow from exactly 121 s", 0, 0, 61000, 504, 1000, "p0.50 slow t60/1 "},
      {"60 s elapsed and 60 s left is not slow", 0, 0, 60000, 500, 1000,
       "p0.50 t60/1 "},
      // Bytes kept from an earlier attempt count toward the fraction and
      // the bytes left, not toward this attempt's rate: 60 s in, 250 more of
      // 1000, so 250 left at 250 a minute.
      {"resumed attempt estimates from its own rate", 0, 500, 60000, 750, 1000,
       "p0.75 t60/1 "},
      {"nothing in this attempt yet: no rate, no estimate", 0, 500, 90000, 500,
       1000, "p0.50 "},
      {"the tick counter wraps between start and now", 0xFFFFF000u, 0,
       0xFFFFF000u + 60000u, 500, 1000, "p0.50 t60/1 "},
      {"nothing received: no division by zero", 0, 0, 90000, 0, 1000, "p0.00 "},
      {"more held than announced: capped, never negative", 0, 0, 70000, 1500,
       1000, "p1.00 t0/1 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TextObserver observer;
    DownloadProgressReporter reporter(&observer, c.start_tick, c.kept);
    reporter.OnBytesReceived(c.now, c.received, c.total);
    EXPECT_EQ(c.expected, observer.Take());
  }
}

}  // namespace
}  // namespace installer
