#include "report/Clock.h"

#include "io/Platform.h"
#include "io/TextEncoding.h"

#include <array>
#include <charconv>
#include <chrono>
#include <ctime>

namespace tavrik {

namespace {

LocalTime fromTm(const std::tm& tm)
{
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.weekday = tm.tm_wday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    return t;
}

std::string twoDigits(int n)
{
    return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

} // namespace

Clock systemClock()
{
    return [] { return fromTm(localCalendarTime(std::time(nullptr))); };
}

Clock fixedUtcClock(long long epochSecs)
{
    // by the calendar's rules, not the system's: some systems' conversions stop at the year
    // 3000, and a report's time goes to the end of 9999
    return [epochSecs] {
        using namespace std::chrono;
        const sys_seconds when{seconds{epochSecs}};
        const sys_days day = floor<days>(when);
        const year_month_day date{day};
        const hh_mm_ss time{when - day};
        LocalTime t;
        t.year = static_cast<int>(date.year());
        t.month = static_cast<int>(static_cast<unsigned>(date.month()));
        t.day = static_cast<int>(static_cast<unsigned>(date.day()));
        t.weekday = static_cast<int>(weekday{day}.c_encoding());
        t.hour = static_cast<int>(time.hours().count());
        t.minute = static_cast<int>(time.minutes().count());
        return t;
    };
}

Result<Clock> sourceDateClock(std::string_view text)
{
    long long seconds = -1;
    const char* last = text.data() + text.size();
    // from_chars takes a minus sign, which the digits-only rule refuses
    const bool digits = !text.empty() && text.front() >= '0' && text.front() <= '9';
    const auto [end, ec] = std::from_chars(text.data(), last, seconds);
    if (!digits || ec != std::errc{} || end != last || seconds > lastReportSecond) {
        return Error::usage(
            "SOURCE_DATE_EPOCH must be a whole number of seconds since 1970, at most " +
            std::to_string(lastReportSecond) + " (the end of the year 9999), found " +
            quoteFound(text));
    }
    return fixedUtcClock(seconds);
}

// English names whatever the locale, so reports do not depend on the machine's settings
std::string formatDate(const LocalTime& t)
{
    static constexpr std::array<const char*, 7> weekdays{
        "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    static constexpr std::array<const char*, 12> months{"January",
                                                        "February",
                                                        "March",
                                                        "April",
                                                        "May",
                                                        "June",
                                                        "July",
                                                        "August",
                                                        "September",
                                                        "October",
                                                        "November",
                                                        "December"};
    const auto weekday = static_cast<std::size_t>(((t.weekday % 7) + 7) % 7);
    const auto month = static_cast<std::size_t>((((t.month - 1) % 12) + 12) % 12);
    std::string year = std::to_string(t.year);
    if (year.size() < 4) {
        year.insert(0, 4 - year.size(), '0');
    }
    return std::string(weekdays[weekday]) + ", " + months[month] + ' ' + twoDigits(t.day) + ", " +
           year;
}

std::string formatTime(const LocalTime& t)
{
    const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    return std::to_string(hour12) + ':' + twoDigits(t.minute) + (t.hour < 12 ? " AM" : " PM");
}

} // namespace tavrik
