#ifndef TEST_SUPPORT_STARTUP_TEST_H_
#define TEST_SUPPORT_STARTUP_TEST_H_

#include <windows.h>

#include "gtest/gtest.h"
#include "logging/file_logger.h"
#include "test/support/fake_system_facts.h"
#include "test/support/registry_override.h"
#include "test/support/scoped_command_line.h"
#include "test/support/scoped_test_log.h"
#include "test/support/test_support.h"

namespace test {

// The machine an in-process run of the start-up sequence meets: a
// temporary folder of its own (the run writes its log there), its command
// line, a processor with SSE2 and SSE3, 100 GiB free and an overridden
// registry.
class StartupTest : public testing::Test {
 protected:
  void SetUp() override {
    SetSse(true, true);
    facts_.SetFreeDiskSpace(100ull << 30);
  }
  void TearDown() override { broupdater::SetFileLogger(nullptr); }

  void SetSse(bool sse2, bool sse3) {
    facts_.SetProcessorFeature(PF_XMMI64_INSTRUCTIONS_AVAILABLE, sse2);
    facts_.SetProcessorFeature(PF_SSE3_INSTRUCTIONS_AVAILABLE, sse3);
  }

  ScopedTempDir dir_;
  ScopedTempPathOverride tmp_{dir_.path()};
  TestLog log_{dir_.path()};
  ScopedCommandLine command_line_;
  FakeSystemFacts facts_;
  ScopedRegistryOverride registry_;
};

}  // namespace test

#endif  // TEST_SUPPORT_STARTUP_TEST_H_
