#include "platform/win32/win32_time.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace dfm::win32 {
namespace {

// The first year of the zone's list of rule changes (0 when it has none). Earlier years
// take that year's rules, as Windows does; Wine would take today's.
WORD FirstListedYear(const DYNAMIC_TIME_ZONE_INFORMATION& zone) {
  const std::wstring key =
      std::wstring(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\") +
      zone.TimeZoneKeyName + L"\\Dynamic DST";
  DWORD first = 0, size = sizeof first;
  if (zone.TimeZoneKeyName[0] == L'\0' ||
      ::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"FirstEntry", RRF_RT_REG_DWORD, nullptr,
                     &first, &size) != ERROR_SUCCESS)
    return 0;
  return static_cast<WORD>(first);
}

struct Zone {
  const DYNAMIC_TIME_ZONE_INFORMATION* info = nullptr;
  WORD first_year = 0;
};

// The given zone, or the user's zone with its rules for every year (read once: the
// registry lookups behind it are slow, and a file's time is asked for often).
Zone ZoneOf(const DYNAMIC_TIME_ZONE_INFORMATION* given) {
  if (given) return {given, FirstListedYear(*given)};
  static const struct User {
    DYNAMIC_TIME_ZONE_INFORMATION info{};
    bool ok = ::GetDynamicTimeZoneInformation(&info) != TIME_ZONE_ID_INVALID;
    WORD first_year = ok ? FirstListedYear(info) : 0;
  } user;
  return user.ok ? Zone{&user.info, user.first_year} : Zone{};
}

std::uint64_t Ticks(const FILETIME& ft) {
  return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// The zone's rules in `year`, from its list of rule changes.
bool RulesOf(const Zone& zone, WORD year, TIME_ZONE_INFORMATION& out) {
  if (!zone.info) return false;
  DYNAMIC_TIME_ZONE_INFORMATION info = *zone.info;
  return ::GetTimeZoneInformationForYear(std::max(year, zone.first_year), &info, &out);
}

}  // namespace

LocalDateTime ToLocal(const FILETIME& ft, const DYNAMIC_TIME_ZONE_INFORMATION* given) {
  const Zone zone = ZoneOf(given);
  SYSTEMTIME utc{}, local{};
  ::FileTimeToSystemTime(&ft, &utc);
  // Without the zone's rules per year, this year's rules for every year, else UTC.
  TIME_ZONE_INFORMATION rules{};
  const bool per_year = RulesOf(zone, utc.wYear, rules);
  if (!::SystemTimeToTzSpecificLocalTime(per_year ? &rules : nullptr, &utc, &local)) local = utc;
  LocalDateTime out;
  out.year = local.wYear;
  out.month = local.wMonth;
  out.day = local.wDay;
  out.hour = local.wHour;
  out.minute = local.wMinute;
  out.second = local.wSecond;
  out.weekday = local.wDayOfWeek;
  out.nanosecond = static_cast<int>(Ticks(ft) % 10000000u) * 100;
  return out;
}

SYSTEMTIME ToSystemTime(const LocalDateTime& t) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  return st;
}

bool ToFileTime(const LocalDateTime& t, FILETIME& ft, const DYNAMIC_TIME_ZONE_INFORMATION* given) {
  const Zone zone = ZoneOf(given);
  SYSTEMTIME local = ToSystemTime(t), utc{};
  TIME_ZONE_INFORMATION rules{};
  const bool per_year = RulesOf(zone, local.wYear, rules);
  return ::TzSpecificLocalTimeToSystemTime(per_year ? &rules : nullptr, &local, &utc) &&
         ::SystemTimeToFileTime(&utc, &ft);
}

}  // namespace dfm::win32
