#include "chrome/installer/norvel/util/network/async_http_request_sender.h"

#include <memory>
#include <string>

#include "gmock/gmock.h"
#include "gtest/gtest.h"
#include "test/support/fake_services.h"
#include "test/support/matchers.h"
#include "test/support/test_support.h"

namespace install_util {
namespace {

using ::test::RecordedRequest;
using ::testing::HasSubstr;
using ::testing::Not;

class AsyncHttpRequestSenderTest : public test::TestWithServices {
 protected:
  std::vector<RecordedRequest> WaitFor(size_t count, DWORD timeout_ms = 10000) {
    return server().WaitForRequests(count, timeout_ms, since_);
  }
};

TEST_F(AsyncHttpRequestSenderTest, QueuedRequestsArriveInOrder) {
  AsyncHttpRequestSender sender;
  for (int i = 1; i <= 3; ++i) {
    EXPECT_TRUE(sender.Send(
        server().HttpUrlW("/content/stat" + std::to_string(i) + "?text=ok")));
  }
  auto requests = WaitFor(3);
  ASSERT_EQ(3u, requests.size());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ("/content/stat" + std::to_string(i + 1) + "?text=ok",
              requests[i].path);
    EXPECT_EQ("GET", requests[i].method);
    EXPECT_EQ("Norvel.Browser installer", requests[i].Header("User-Agent"));
    EXPECT_EQ("*/*", requests[i].Header("Accept"));
    EXPECT_EQ("\"Windows\"", requests[i].Header("Sec-CH-UA-Platform"));
  }
  // Closing a request once it is sent is the normal way it ends, not an
  // error.
  EXPECT_THAT(Log(), Not(HasSubstr("Failed to open")));
}

// A server that takes the request and never answers must not hold up the
// next request: each one is closed as soon as it has been sent.
TEST_F(AsyncHttpRequestSenderTest, StalledServerDoesNotDelayNextRequest) {
  AsyncHttpRequestSender sender;
  DWORD start = ::GetTickCount();
  sender.Send(server().HttpUrlW("/content/stalled?stall=30"));
  sender.Send(server().HttpUrlW("/content/after-stall?text=ok"));
  auto requests = WaitFor(2);
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ("/content/after-stall?text=ok", requests[1].path);
  EXPECT_LT(::GetTickCount() - start, 8000u);
}

TEST_F(AsyncHttpRequestSenderTest, DestructionDropsQueueAndJoins) {
  auto sender = std::make_unique<AsyncHttpRequestSender>();
  sender->Send(server().HttpUrlW("/content/held?stall=30"));
  for (int i = 0; i < 4; ++i)
    sender->Send(server().HttpUrlW("/content/dropped" + std::to_string(i)));
  // Destroy while the first request is on the wire.
  auto first = WaitFor(1);
  ASSERT_EQ(1u, first.size());
  EXPECT_EQ("/content/held?stall=30", first[0].path);
  DWORD start = ::GetTickCount();
  sender.reset();
  EXPECT_LT(::GetTickCount() - start, 10000u);
  // The worker has ended, so nothing else can still arrive.
  for (const auto& r : NewRequests())
    EXPECT_THAT(r.path, Not(HasSubstr("dropped")));
}

TEST_F(AsyncHttpRequestSenderTest, UnreachableHostLogsAndGoesOn) {
  AsyncHttpRequestSender sender;
  sender.Send(L"http://127.0.0.1:1/unreachable");
  sender.Send(server().HttpUrlW("/content/next?text=ok"));
  auto requests = WaitFor(1);
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("/content/next?text=ok", requests[0].path);
  EXPECT_THAT(Log(), ::test::ContainsPattern(
                         "ERROR: Failed to open http://127\\.0\\.0\\.1:1/"
                         "unreachable - 12029, [^\\n]*\\n \\(virtual "
                         "install_util::AsyncHttpRequestSender::SendUrl:"));
}

}  // namespace
}  // namespace install_util
