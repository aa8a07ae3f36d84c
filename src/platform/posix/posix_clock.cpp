#include <langinfo.h>
#include <sys/time.h>

#include <locale.h>
#include <clocale>
#include <ctime>

#include "platform/host.h"

namespace dfm {
namespace {

// Day and month names in the user's language: the LC_TIME the environment names (through
// LC_ALL, LC_TIME or LANG), kept to this clock so that nothing else of the process follows
// the locale; "C" when the environment names none or one that is not installed.
class PosixClock final : public Clock {
 public:
  PosixClock() : names_(::newlocale(LC_TIME_MASK, "", nullptr)) {
    if (names_ == nullptr) names_ = ::newlocale(LC_TIME_MASK, "C", nullptr);
  }
  ~PosixClock() override {
    if (names_ != nullptr) ::freelocale(names_);
  }
  PosixClock(const PosixClock&) = delete;
  PosixClock& operator=(const PosixClock&) = delete;

  double SecondsSinceMidnight() override {
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    time_t t = ts.tv_sec;
    ::localtime_r(&t, &tm);
    return tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec + ts.tv_nsec / 1e9;
  }

  LocalDateTime Now() override {
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    time_t t = ts.tv_sec;
    ::localtime_r(&t, &tm);
    return LocalDateTime{
        tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
        tm.tm_min,         tm.tm_sec,     tm.tm_wday, static_cast<int>(ts.tv_nsec)};
  }

  std::string WeekdayName(int weekday) override {
    static constexpr nl_item kDays[] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    if (weekday < 0 || weekday > 6) return {};
    return Name(kDays[weekday]);
  }

  std::string MonthName(int month) override {
    static constexpr nl_item kMonths[] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                          MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
    if (month < 1 || month > 12) return {};
    return Name(kMonths[month - 1]);
  }

 private:
  std::string Name(nl_item item) const {
    return names_ != nullptr ? ::nl_langinfo_l(item, names_) : ::nl_langinfo(item);
  }
  locale_t names_;
};

}  // namespace

std::unique_ptr<Clock> MakeHostClock() {
  return std::make_unique<PosixClock>();
}

}  // namespace dfm
