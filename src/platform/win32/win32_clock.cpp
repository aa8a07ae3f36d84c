#include "platform/win32/windows_api.h"

#include <cstdio>

#include "platform/host.h"
#include "platform/win32/win32_time.h"

namespace dfm {
namespace {

// A name from the user's locale settings, in the system's 8-bit code page.
std::string LocaleText(LCTYPE what) {
  char buf[128] = {};
  const int n = ::GetLocaleInfoA(LOCALE_USER_DEFAULT, what, buf, sizeof buf);
  return n > 1 ? std::string(buf, static_cast<std::size_t>(n - 1)) : std::string();
}

class Win32Clock final : public Clock {
 public:
  double SecondsSinceMidnight() override {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return t.wHour * 3600.0 + t.wMinute * 60.0 + t.wSecond + t.wMilliseconds / 1000.0;
  }

  LocalDateTime Now() override {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return LocalDateTime{t.wYear,   t.wMonth,  t.wDay,       t.wHour,
                         t.wMinute, t.wSecond, t.wDayOfWeek, t.wMilliseconds * 1000000};
  }

  // The locale numbers its day names from Monday (LOCALE_SDAYNAME1) to Sunday.
  std::string WeekdayName(int weekday) override {
    if (weekday < 0 || weekday > 6) return {};
    return LocaleText(weekday == 0 ? LOCALE_SDAYNAME7 : LOCALE_SDAYNAME1 + (weekday - 1));
  }

  std::string MonthName(int month) override {
    if (month < 1 || month > 12) return {};
    return LocaleText(LOCALE_SMONTHNAME1 + (month - 1));
  }

  // The user's short date and time without seconds, as the regional settings write them;
  // the ISO form when the system takes the date for no date.
  std::string DateTimeText(const LocalDateTime& t) override {
    const SYSTEMTIME st = win32::ToSystemTime(t);
    char date[128] = {}, time[128] = {};
    if (::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date) >
            1 &&
        ::GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, time, sizeof time) > 1)
      return std::string(date) + ", " + time;
    char iso[32];
    std::snprintf(iso, sizeof iso, "%04d-%02d-%02d, %02d:%02d", t.year % 10000, t.month % 100,
                  t.day % 100, t.hour % 100, t.minute % 100);
    return iso;
  }
};

}  // namespace

std::unique_ptr<Clock> MakeHostClock() {
  return std::make_unique<Win32Clock>();
}

}  // namespace dfm
