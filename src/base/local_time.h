// Local calendar time and the C library's seconds, both ways.
#pragma once

#include <ctime>
#include <optional>

namespace dfm {

// Local calendar time, as the user's clock shows it.
struct LocalDateTime {
  int year = 1970;
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;     // 0..23
  int minute = 0;   // 0..59
  int second = 0;   // 0..59
  int weekday = 0;  // 0 = Sunday .. 6 = Saturday
  int nanosecond = 0;
};

// The C library's broken-down time of a local time (day of the week included; no
// daylight-saving flag).
std::tm ToTm(const LocalDateTime& t);
// The moment a local time names (-1 when it names none).
std::time_t ToTimeT(const LocalDateTime& t);
// The local time of a moment, to the second.
std::optional<LocalDateTime> FromTimeT(std::time_t t);

}  // namespace dfm
