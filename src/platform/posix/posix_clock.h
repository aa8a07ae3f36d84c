// The POSIX clock's formats, named here so that the tests can reach them.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace dfm::posix {

// The strftime pattern of a date and time to the minute, from a locale's date format
// (D_FMT; a two-digit year widened to four) and time format (T_FMT; "%I:%M %p" when it
// writes a 12-hour clock, else "%H:%M"): "%m/%d/%y" and "%r" give "%m/%d/%Y, %I:%M %p".
std::string DateTimePattern(std::string_view date_format, std::string_view time_format);

// A clock whose names and formats follow the LC_TIME of `locale` ("": the environment's;
// "C" when it is not installed).
std::unique_ptr<Clock> MakeClock(const char* locale);

}  // namespace dfm::posix
