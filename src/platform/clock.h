#pragma once

#include <string>

#include "platform/file_system.h"

namespace dfm {

class Clock {
 public:
  virtual ~Clock() = default;
  // Time of day in seconds since local midnight, with its fraction.
  virtual double SecondsSinceMidnight() = 0;
  virtual LocalDateTime Now() = 0;
  // Names in the user's language: weekday 0 = Sunday, month 1 = January.
  virtual std::string WeekdayName(int weekday) = 0;
  virtual std::string MonthName(int month) = 0;
  // A date and time, to the minute, as the user's locale writes them: its order of day,
  // month and year, and its clock (24 or 12 hours).
  virtual std::string DateTimeText(const LocalDateTime& t) = 0;
};

}  // namespace dfm
