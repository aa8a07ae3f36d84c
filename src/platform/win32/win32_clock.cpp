#include "platform/win32/windows_api.h"

#include "platform/host.h"

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
};

}  // namespace

std::unique_ptr<Clock> MakeHostClock() {
  return std::make_unique<Win32Clock>();
}

}  // namespace dfm
