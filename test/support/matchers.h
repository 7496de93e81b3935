#ifndef TEST_SUPPORT_MATCHERS_H_
#define TEST_SUPPORT_MATCHERS_H_

#include <regex>
#include <string>

#include "gmock/gmock.h"

namespace test {

// gtest's own regular expressions on Windows lack classes and counts; these
// use std::regex (ECMAScript).
MATCHER_P(FullyMatches,
          pattern,
          "fully matches /" + std::string(pattern) + "/") {
  return std::regex_match(std::string(arg), std::regex(std::string(pattern)));
}

MATCHER_P(ContainsPattern, pattern, "contains /" + std::string(pattern) + "/") {
  return std::regex_search(std::string(arg), std::regex(std::string(pattern)));
}

}  // namespace test

#endif  // TEST_SUPPORT_MATCHERS_H_
