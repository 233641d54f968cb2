// Time limits as the front ends read them.
#include "model/time_limit.h"

#include <gtest/gtest.h>

namespace velkin {
namespace {

TEST(TimeLimit, TakesPositiveFiniteSecondsUpToTheCap) {
  EXPECT_EQ(ParseTimeLimit("60"), 60.0);
  EXPECT_EQ(ParseTimeLimit("0.25"), 0.25);
  EXPECT_EQ(ParseTimeLimit("1e8"), kMaxTimeoutSeconds);
  for (const char* bad :
       {"", "0", "-1", "1.5e8", "1e300", "nan", "inf", "abc", "5s", " 5", "5 ", "0x"})
    EXPECT_EQ(ParseTimeLimit(bad), std::nullopt) << bad;
  EXPECT_EQ(TimeLimitMessage("x"), "'x' is not a number of seconds above 0 and at most 1e+08");
}

}  // namespace
}  // namespace velkin
