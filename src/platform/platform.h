// The outside world as the core reaches it: one reference per interface. The program's
// main picks the host's implementations; tests pass fakes.
#pragma once

namespace dfm {

class FileSystem;
class Dialogs;
class EventPump;
class Clock;
class Process;
class Registry;  // platform/registry.h

struct Platform {
  FileSystem& fs;
  Dialogs& dialogs;
  EventPump& pump;
  Clock& clock;
  Process& process;
  Registry& registry;
};

}  // namespace dfm
