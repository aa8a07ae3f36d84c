// Waiting for a while without spinning: on the event pump, timed by the clock.
#pragma once

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/platform.h"

namespace dfm {

// Returns once the time of day has moved at least `seconds` away from the start, waiting
// on the event pump for the time that is left (events are handled meanwhile; nothing
// spins). Across midnight it returns at once.
void WaitSeconds(Clock& clock, EventPump& pump, double seconds);
inline void WaitSeconds(Platform& platform, double seconds) {
  WaitSeconds(platform.clock, platform.pump, seconds);
}

}  // namespace dfm
