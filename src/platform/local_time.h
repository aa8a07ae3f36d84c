// Local calendar time and the C library's seconds, both ways.
#pragma once

#include <ctime>
#include <optional>

#include "platform/file_system.h"

namespace dfm {

// The moment a local time names (-1 when it names none).
std::time_t ToTimeT(const LocalDateTime& t);
// The local time of a moment, to the second.
std::optional<LocalDateTime> FromTimeT(std::time_t t);

}  // namespace dfm
