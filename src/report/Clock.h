// The report's date and time: an injectable clock and the English patterns
// "dddd, mmmm dd, yyyy" and "h:mm AM/PM".
#pragma once

#include "state/Result.h"

#include <functional>
#include <string>
#include <string_view>

namespace tavrik {

struct LocalTime
{
    int year = 1970;
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int weekday = 4; // 0 = Sunday
    int hour = 0;    // 0..23
    int minute = 0;
};

// Called once for the date and once for the time, one after the other.
using Clock = std::function<LocalTime()>;

Clock systemClock();                      // local time of this machine
Clock fixedUtcClock(long long epochSecs); // e.g. SOURCE_DATE_EPOCH

// The last second a report's four-digit year can show: 9999-12-31 23:59:59 UTC.
inline constexpr long long lastReportSecond = 253402300799;

// The fixed clock that a SOURCE_DATE_EPOCH of this text asks for: digits only, a whole number of
// seconds from 0 to lastReportSecond. Anything else is a usage error that quotes the text.
Result<Clock> sourceDateClock(std::string_view text);

std::string formatDate(const LocalTime& t); // "Saturday, December 05, 2026"
std::string formatTime(const LocalTime& t); // "3:07 PM"

} // namespace tavrik
