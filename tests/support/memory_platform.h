// The fakes a window needs over a file system in memory, made into one Platform: tests
// derive from it and reach each fake by name.
#pragma once

#include <memory>

#include "platform/host.h"
#include "registry/tree_registry.h"
#include "support/fakes.h"
#include "support/memory_file_system.h"

namespace dfm::testing {

struct MemoryPlatform {
  MemoryFileSystem mem;
  FaultyFileSystem fs{mem};
  RecordingDialogs dialogs;
  CountingPump pump;
  FixedClock clock;
  TreeRegistry registry{{}, {}};
  std::unique_ptr<Process> process = MakeHostProcess();
  Platform platform{fs, dialogs, pump, clock, *process, registry};
};

}  // namespace dfm::testing
