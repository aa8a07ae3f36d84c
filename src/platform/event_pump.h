#pragma once

namespace dfm {

// Lets the window system process pending messages (repaint, clicks, close requests).
class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void ProcessPendingEvents() = 0;
};

class NullEventPump final : public EventPump {
 public:
  void ProcessPendingEvents() override {}
};

}  // namespace dfm
