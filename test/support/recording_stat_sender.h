#ifndef TEST_SUPPORT_RECORDING_STAT_SENDER_H_
#define TEST_SUPPORT_RECORDING_STAT_SENDER_H_

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/strings.h"
#include "chrome/installer/norvel/util/network/async_http_request_sender.h"
#include "chrome/installer/norvel/util/statistics/install_stat_sender.h"
#include "gtest/gtest.h"
#include "test/support/stat_request.h"

namespace test {

// The statistics URLs one or more installers handed to their senders, kept
// for tests of which events an installation sends (the network path has
// tests of its own). Thread-safe; outlives the installers that write to it.
class StatRecord {
 public:
  void Add(const std::wstring& url) {
    std::lock_guard<std::mutex> lock(mutex_);
    urls_.push_back(base::WideToUTF8(url));
  }

  std::vector<std::string> urls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return urls_;
  }

  // Every URL decoded as the service would; a malformed one fails the test.
  std::vector<StatRequest> Requests() const {
    std::vector<StatRequest> decoded;
    for (const std::string& url : urls()) {
      const size_t at = url.find("/installstats/");
      std::string error;
      std::optional<StatRequest> request = DecodeStatRequest(
          at == std::string::npos ? url : url.substr(at), &error);
      if (request)
        decoded.push_back(std::move(*request));
      else
        ADD_FAILURE() << "malformed statistics URL: " << error;
    }
    return decoded;
  }

  // The "action/stage" of every request, in order.
  std::vector<std::string> Events() const {
    std::vector<std::string> events;
    for (const StatRequest& request : Requests())
      events.push_back(request.Event());
    return events;
  }

  // Makes `sender` record into `record` instead of sending.
  static void InstallInto(installer::InstallStatSender* sender,
                          std::shared_ptr<StatRecord> record);

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> urls_;
};

class RecordingStatSender : public install_util::AsyncHttpRequestSender {
 public:
  explicit RecordingStatSender(std::shared_ptr<StatRecord> record)
      : record_(std::move(record)) {}
  bool Send(const std::wstring& url) override {
    record_->Add(url);
    return true;
  }

 private:
  std::shared_ptr<StatRecord> record_;
};

inline void StatRecord::InstallInto(installer::InstallStatSender* sender,
                                    std::shared_ptr<StatRecord> record) {
  sender->set_sender_for_testing(
      std::make_unique<RecordingStatSender>(std::move(record)));
}

}  // namespace test

#endif  // TEST_SUPPORT_RECORDING_STAT_SENDER_H_
