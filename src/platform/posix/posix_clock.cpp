#include <langinfo.h>
#include <sys/time.h>

#include <locale.h>
#include <clocale>
#include <ctime>

#include "base/local_time.h"
#include "platform/host.h"
#include "platform/posix/posix_clock.h"

namespace dfm {
namespace posix {

std::string DateTimePattern(std::string_view date_format, std::string_view time_format) {
  std::string out;
  for (std::size_t i = 0; i < date_format.size(); ++i) {
    if (date_format[i] != '%' || i + 1 == date_format.size()) {
      out += date_format[i];
    } else if (const char c = date_format[++i]; c == 'y') {
      out += "%Y";
    } else if (c == 'D') {
      out += "%m/%d/%Y";
    } else {
      out += '%';
      out += c;  // a modifier (E, O) goes over with the letter after it
      if ((c == 'E' || c == 'O') && i + 1 < date_format.size()) out += date_format[++i];
    }
  }
  if (out.empty()) out = "%Y-%m-%d";
  bool twelve = false;
  for (const char* c : {"%r", "%I", "%l", "%p", "%OI"})
    twelve = twelve || time_format.find(c) != std::string_view::npos;
  return out + (twelve ? ", %I:%M %p" : ", %H:%M");
}

}  // namespace posix

namespace {

// Day and month names and the date's format in the user's language: the LC_TIME the
// environment names (through LC_ALL, LC_TIME or LANG), or the one asked for, kept to this
// clock so that nothing else of the process follows the locale; "C" when the environment
// names none or one that is not installed.
class PosixClock final : public Clock {
 public:
  explicit PosixClock(const char* locale) : names_(::newlocale(LC_TIME_MASK, locale, nullptr)) {
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

  std::string DateTimeText(const LocalDateTime& t) override {
    const std::string pattern = posix::DateTimePattern(Name(D_FMT), Name(T_FMT));
    const std::tm tm = ToTm(t);
    char text[256];
    const std::size_t n = names_ != nullptr
                              ? ::strftime_l(text, sizeof text, pattern.c_str(), &tm, names_)
                              : std::strftime(text, sizeof text, pattern.c_str(), &tm);
    return std::string(text, n);
  }

 private:
  std::string Name(nl_item item) const {
    return names_ != nullptr ? ::nl_langinfo_l(item, names_) : ::nl_langinfo(item);
  }
  locale_t names_;
};

}  // namespace

std::unique_ptr<Clock> posix::MakeClock(const char* locale) {
  return std::make_unique<PosixClock>(locale);
}

std::unique_ptr<Clock> MakeHostClock() {
  return posix::MakeClock("");
}

}  // namespace dfm
