#include "report/ReportHeader.h"

#include "report/Clock.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tavrik {
namespace {

LocalTime at(int year, int month, int day, int weekday, int hour, int minute)
{
    LocalTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.weekday = weekday;
    t.hour = hour;
    t.minute = minute;
    return t;
}

TEST(ReportDate, UsesEnglishFullNamesAndTwoDigitDay)
{
    EXPECT_EQ(formatDate(at(2026, 12, 5, 6, 15, 7)), "Saturday, December 05, 2026");
    EXPECT_EQ(formatDate(at(2024, 2, 29, 4, 0, 0)), "Thursday, February 29, 2024");
    EXPECT_EQ(formatDate(at(2000, 1, 31, 1, 0, 0)), "Monday, January 31, 2000");
    EXPECT_EQ(formatDate(at(2023, 9, 10, 0, 0, 0)), "Sunday, September 10, 2023");
}

TEST(ReportTime, UsesTwelveHourClockWithoutLeadingZero)
{
    EXPECT_EQ(formatTime(at(2026, 1, 1, 4, 15, 7)), "3:07 PM");
    EXPECT_EQ(formatTime(at(2026, 1, 1, 4, 0, 7)), "12:07 AM");
    EXPECT_EQ(formatTime(at(2026, 1, 1, 4, 0, 0)), "12:00 AM");
    EXPECT_EQ(formatTime(at(2026, 1, 1, 4, 12, 0)), "12:00 PM");
    EXPECT_EQ(formatTime(at(2026, 1, 1, 4, 11, 59)), "11:59 AM");
    EXPECT_EQ(formatTime(at(2026, 1, 1, 4, 13, 5)), "1:05 PM");
    EXPECT_EQ(formatTime(at(2026, 1, 1, 4, 23, 59)), "11:59 PM");
}

TEST(ReportClock, FixedUtcClockReadsEpochSecondsAsUtc)
{
    // values checked with `date -u -d @seconds`
    const LocalTime epoch = fixedUtcClock(0)();
    EXPECT_EQ(formatDate(epoch), "Thursday, January 01, 1970");
    EXPECT_EQ(formatTime(epoch), "12:00 AM");

    const LocalTime later = fixedUtcClock(1796482020)(); // 2026-12-05 14:47:00 UTC
    EXPECT_EQ(formatDate(later), "Saturday, December 05, 2026");
    EXPECT_EQ(formatTime(later), "2:47 PM");

    const LocalTime leapNoon = fixedUtcClock(951825600)(); // 2000-02-29 12:00:00 UTC
    EXPECT_EQ(formatDate(leapNoon), "Tuesday, February 29, 2000");
    EXPECT_EQ(formatTime(leapNoon), "12:00 PM");
}

TEST(FileOpenHeader, IsNineLinesEachEndedByCarriageReturnLineFeed)
{
    const std::string header =
        fileOpenHeader("/data/Tribes.tvk", "Three tribes", 3, 2, fixedUtcClock(1796482020));
    EXPECT_EQ(header,
              "TAVRIK 5.0\r\n"
              "Saturday, December 05, 2026     2:47 PM\r\n"
              "\r\n"
              "\r\n"
              "Data file = /data/Tribes.tvk\r\n"
              "\r\n"
              "Data set: Three tribes\r\n"
              "\r\n"
              "Data available for  3  populations and  2  variables\r\n");
}

TEST(FileOpenHeader, FramesTwoDigitCountsAndKeepsUtf8TextAsIs)
{
    const std::string header =
        fileOpenHeader("C:\\Mätningar\\öar.tvk", "Öar – höjd", 12, 4, fixedUtcClock(0));
    EXPECT_NE(header.find("\r\nData file = C:\\Mätningar\\öar.tvk\r\n"), std::string::npos);
    EXPECT_NE(header.find("\r\nData set: Öar – höjd\r\n"), std::string::npos);
    const std::string last = "Data available for  12  populations and  4  variables\r\n";
    ASSERT_GE(header.size(), last.size());
    EXPECT_EQ(header.substr(header.size() - last.size()), last);
}

TEST(FileOpenHeader, ReadsTheClockForTheDateAndThenForTheTime)
{
    // a header written across midnight: the date comes from the first reading
    std::vector<LocalTime> readings{at(2025, 12, 31, 3, 23, 59), at(2026, 1, 1, 4, 0, 0)};
    std::size_t calls = 0;
    const Clock clock = [&] { return readings.at(calls++); };
    const std::string header = fileOpenHeader("d.tvk", "t", 1, 1, clock);
    EXPECT_EQ(calls, 2U);
    EXPECT_NE(header.find("\r\nWednesday, December 31, 2025     12:00 AM\r\n"), std::string::npos);
}

} // namespace
} // namespace tavrik
