#include <gtest/gtest.h>

#include "retry.h"

using namespace qv;

TEST(Retry, BusyIsTriedAgainWithinThePlanAndFailureEndsAtOnce) {
  struct Case {
    std::vector<Attempt> results;
    bool ok;
    unsigned attempts;
  };
  const RetryPlan plan{4, 7};
  for (const Case& c : {Case{{Attempt::Done}, true, 1},
                        Case{{Attempt::Busy, Attempt::Busy, Attempt::Done}, true, 3},
                        Case{{Attempt::Busy, Attempt::Failed, Attempt::Done}, false, 2},
                        Case{{Attempt::Busy, Attempt::Busy, Attempt::Busy, Attempt::Busy, Attempt::Done}, false, 4}}) {
    unsigned attempts = 0, waited = 0;
    bool ok = retryWhileBusy([&] { return c.results[attempts++]; }, [&](unsigned ms) { waited += ms; }, plan);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(attempts, c.attempts);
    EXPECT_EQ(waited, (c.attempts - 1) * 7);
  }
}
