#ifndef TEST_SUPPORT_FIXED_DISTRIB_PARAMS_H_
#define TEST_SUPPORT_FIXED_DISTRIB_PARAMS_H_

#include <map>
#include <string>

#include "brand/distrib_info_params.h"

namespace test {

// Distribution parameters chosen by the test.
class FixedDistribParams : public DistribInfoParams {
 public:
  bool Get(const std::string& key, std::string* value) const override {
    auto it = values.find(key);
    if (it == values.end())
      return false;
    *value = it->second;
    return true;
  }
  std::map<std::string, std::string> values;
};

}  // namespace test

#endif  // TEST_SUPPORT_FIXED_DISTRIB_PARAMS_H_
