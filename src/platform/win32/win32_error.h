// Windows error numbers as the core's failures.
#pragma once

#include <cstdint>
#include <string>

#include "base/result.h"

namespace dfm::win32 {

// The system's text for error `error` (GetLastError's number), without its line break.
std::string SystemMessage(std::uint32_t error);

// A file operation on `path` failed with `error`: the run-time error number the POSIX
// host gives for the same situation, and "File not found: <path> (<system text>)".
Failure FileFailure(std::uint32_t error, const std::string& path);

}  // namespace dfm::win32
