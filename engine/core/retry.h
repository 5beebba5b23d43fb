// Trying an operation again for a short while when it fails for a reason
// that passes by itself (another program holding a file for a moment), and
// giving up at once when it fails for good.
#pragma once

namespace qv {

enum class Attempt { Done, Busy, Failed };

struct RetryPlan {
  unsigned tries;    // attempts in all, at least 1
  unsigned pauseMs;  // between two attempts
};

// Renaming a finished file: a virus scanner or the window's readiness check
// may hold it; three seconds is long for them and short for the user.
constexpr RetryPlan kRenamePlan{60, 50};

// attempt() -> Attempt; pause(ms) waits. True once an attempt is Done.
template <class Try, class Pause>
bool retryWhileBusy(Try attempt, Pause pause, RetryPlan plan) {
  for (unsigned i = 0; i < plan.tries; ++i) {
    if (i) pause(plan.pauseMs);
    switch (attempt()) {
      case Attempt::Done: return true;
      case Attempt::Failed: return false;
      case Attempt::Busy: break;
    }
  }
  return false;
}

}  // namespace qv
