// The event pump over FLTK's loop: pending events are handled at once, a wait blocks in the
// loop until an event or the time-out.
#include "ui/fltk/fltk_host.h"

// FLTK last: through Xlib it defines macros (Status, None, ...) that clash with the core.
#include <FL/Fl.H>
#undef Status

namespace dfm {
namespace {

class FltkEventPump final : public EventPump {
 public:
  void ProcessPendingEvents() override { Fl::check(); }
  void WaitForEvents(double max_seconds) override { Fl::wait(max_seconds > 0 ? max_seconds : 0); }
};

}  // namespace

std::unique_ptr<EventPump> MakeFltkEventPump() {
  return std::make_unique<FltkEventPump>();
}

}  // namespace dfm
