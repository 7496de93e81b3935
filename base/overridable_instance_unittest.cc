#include "base/overridable_instance.h"

#include "gtest/gtest.h"

namespace base {
namespace {

class Answer : public OverridableInstance<Answer> {
 public:
  virtual ~Answer() = default;
  virtual int Get() const { return 1; }
};

class FixedAnswer : public Answer {
 public:
  explicit FixedAnswer(int value) : value_(value) {}
  int Get() const override { return value_; }

 private:
  int value_;
};

TEST(OverridableInstanceTest, OverridesNestAndRestoreTheOneBefore) {
  EXPECT_EQ(1, Answer::Current().Get());
  const FixedAnswer two(2), three(3);
  {
    ScopedOverrideForTesting<Answer> outer(&two);
    EXPECT_EQ(2, Answer::Current().Get());
    {
      ScopedOverrideForTesting<Answer> inner(&three);
      EXPECT_EQ(3, Answer::Current().Get());
    }
    EXPECT_EQ(2, Answer::Current().Get());
  }
  EXPECT_EQ(1, Answer::Current().Get());
}

}  // namespace
}  // namespace base
