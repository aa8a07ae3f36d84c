#include "platform/wait.h"

#include <cmath>

namespace dfm {

void WaitSeconds(Clock& clock, EventPump& pump, double seconds) {
  const double start = clock.SecondsSinceMidnight();
  for (;;) {
    // A clock that passed midnight reads far from `start`: the wait ends at once.
    const double passed = std::abs(clock.SecondsSinceMidnight() - start);
    if (passed >= seconds) return;
    pump.WaitForEvents(seconds - passed);
  }
}

}  // namespace dfm
