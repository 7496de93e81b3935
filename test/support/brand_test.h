#ifndef TEST_SUPPORT_BRAND_TEST_H_
#define TEST_SUPPORT_BRAND_TEST_H_

#include "brand/brand_package_info.h"
#include "test/support/fake_system_facts.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace test {

// A brand whose packages go to a scratch folder, with a scratch registry,
// machine facts of the test's choosing and the log the brand code writes.
class BrandTest : public TestWithLog {
 protected:
  ScopedTempDir dir_;
  ScopedRegistryOverride registry_;
  FakeSystemFacts facts_;
  BrandPackageInfo info_{dir_.path() + L"\\"};
};

}  // namespace test

#endif  // TEST_SUPPORT_BRAND_TEST_H_
