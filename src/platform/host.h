// Factories for the implementations of the host this program was built for.
#pragma once

#include <memory>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace dfm {

std::unique_ptr<FileSystem> MakeHostFileSystem();
std::unique_ptr<Clock> MakeHostClock();
std::unique_ptr<Process> MakeHostProcess();

}  // namespace dfm
