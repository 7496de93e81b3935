#ifndef TEST_SUPPORT_STAT_REQUEST_H_
#define TEST_SUPPORT_STAT_REQUEST_H_

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "test/support/fake_services.h"

namespace test {

// One statistics request as the service reads it.
struct StatRequest {
  std::string counter_id;  // "72992"
  std::string path;        // "extended_stat"
  // Names and values in the order the request carries them, each with its
  // percent escapes undone once.
  std::vector<std::pair<std::string, std::string>> vars;

  bool Has(const std::string& name) const;
  // The value of `name`, or empty.
  std::string Get(const std::string& name) const;
  std::vector<std::string> Names() const;
  // "action/stage" (or the action alone), for lists of events.
  std::string Event() const;
};

// The request path prefix of the statistics service.
inline constexpr char kStatRequestPrefix[] =
    "/installstats/send/dtype=stred/pid=457/";

// Decodes a request path ("/installstats/send/dtype=stred/pid=457/cid=N/
// path=P[/vars=-name=value,...]/*"). Nothing, with the reason in `error`,
// for anything malformed: another prefix, a query or fragment, a raw space
// or non-ASCII byte, a variable without its "-" or "=", an escape that
// decodes to invalid UTF-8, a missing "/*".
std::optional<StatRequest> DecodeStatRequest(const std::string& path,
                                             std::string* error = nullptr);

// `text` with each "%XX" undone once (a value sent escaped twice, such as a
// download URL, read back whole).
std::string PercentDecoded(const std::string& text);

// The statistics requests among `requests`, decoded in order; a malformed
// one fails the test.
std::vector<StatRequest> DecodeStatRequests(
    const std::vector<RecordedRequest>& requests);

// The same for the requests `services` received after `since`, waiting up
// to `timeout_ms` until `count` statistics requests arrived.
std::vector<StatRequest> WaitForStatRequests(FakeServices& services,
                                             size_t count,
                                             DWORD timeout_ms,
                                             int since = 0);

}  // namespace test

#endif  // TEST_SUPPORT_STAT_REQUEST_H_
