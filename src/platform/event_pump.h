#pragma once

#include <chrono>
#include <thread>

namespace dfm {

// Lets the window system process pending messages (repaint, clicks, close requests).
class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void ProcessPendingEvents() = 0;
  // Waits until the window system has an event or max_seconds have passed, whichever
  // comes first, and processes what arrived. A host with an event loop blocks in it;
  // without one this sleeps. Never spins.
  virtual void WaitForEvents(double max_seconds) {
    (void)max_seconds;
    ProcessPendingEvents();
  }
};

// No window system: nothing to process, and a wait is a sleep.
class NullEventPump final : public EventPump {
 public:
  void ProcessPendingEvents() override {}
  void WaitForEvents(double max_seconds) override {
    if (max_seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(max_seconds));
  }
};

}  // namespace dfm
