// File times (UTC) as the local time of their day and back, with the time zone's rules of
// that year: a file dated 2 April 2005 in New York is 7 in the morning, not 8, although
// today's rules would put that day in daylight saving time.
#pragma once

#include "platform/win32/windows_api.h"

#include "base/local_time.h"

namespace dfm::win32 {

// The calendar fields of a local time, to the second.
SYSTEMTIME ToSystemTime(const LocalDateTime& t);
// `zone` null: the user's time zone.
LocalDateTime ToLocal(const FILETIME& ft, const DYNAMIC_TIME_ZONE_INFORMATION* zone = nullptr);
bool ToFileTime(const LocalDateTime& t, FILETIME& ft,
                const DYNAMIC_TIME_ZONE_INFORMATION* zone = nullptr);

}  // namespace dfm::win32
