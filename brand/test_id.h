#ifndef BRAND_TEST_ID_H_
#define BRAND_TEST_ID_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An experiment identifier with an optional value: "id" or "id/value".
struct TestId {
  std::string id;
  std::string value;

  // "id" when the value is empty, else "id/value".
  std::string ToString() const;

  // Splits at "/", trims each piece and drops empty ones: one piece is an id
  // alone, two are id and value; none or three and more give nothing.
  static std::optional<TestId> Parse(std::string_view text);

  bool operator==(const TestId&) const = default;
};

using TestIds = std::vector<TestId>;

// The text forms joined with `separator` (", " in logs, ";" for setup,
// "%3B" in statistics).
std::string JoinTestIds(const TestIds& ids, std::string_view separator);

#endif  // BRAND_TEST_ID_H_
