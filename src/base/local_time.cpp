#include "base/local_time.h"

namespace dfm {

std::tm ToTm(const LocalDateTime& t) {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_wday = t.weekday;
  return tm;
}

std::time_t ToTimeT(const LocalDateTime& t) {
  std::tm tm = ToTm(t);
  tm.tm_isdst = -1;  // mktime reads neither the day of the week nor the day of the year
  return std::mktime(&tm);
}

std::optional<LocalDateTime> FromTimeT(std::time_t t) {
  const std::tm* tm = std::localtime(&t);  // one thread: the static result is ours
  if (tm == nullptr) return std::nullopt;
  return LocalDateTime{tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour,
                       tm->tm_min,         tm->tm_sec,     tm->tm_wday, 0};
}

}  // namespace dfm
