// Day numbers and the estimated time of arrival.
#include "engine/day_number.h"

#include <gtest/gtest.h>

#include <boost/date_time/posix_time/posix_time.hpp>

using boost::gregorian::date;
using boost::posix_time::hours;
using boost::posix_time::minutes;
using boost::posix_time::ptime;
using boost::posix_time::seconds;
using boost::posix_time::time_from_string;

TEST(DayNumber, CountsDaysAndFractionsFrom2008) {
    EXPECT_DOUBLE_EQ(TimeToDayNumber(time_from_string("2008-01-01 00:00:00")), 0.0);
    EXPECT_DOUBLE_EQ(TimeToDayNumber(time_from_string("2008-01-02 12:00:00")), 1.5);
    EXPECT_DOUBLE_EQ(TimeToDayNumber(time_from_string("2009-01-01 06:00:00")), 366.25);
    // A fraction of a second is dropped.
    EXPECT_DOUBLE_EQ(TimeToDayNumber(time_from_string("2008-01-01 00:00:01.75")), 1.0 / 86400);
}

TEST(DayNumber, WholeSecondTimesSurviveTheRoundTrip) {
    for (int y = 2008; y <= 2040; y += 3) {
        const auto year = static_cast<unsigned short>(y);
        for (int second = 0; second < 86400; second += 997) {
            const ptime t(date(year, 3, 1), seconds(second));
            ASSERT_EQ(DayNumberToTime(TimeToDayNumber(t)), t) << t;
        }
        const ptime lastSecond(date(year, 12, 31), hours(23) + minutes(59) + seconds(59));
        ASSERT_EQ(DayNumberToTime(TimeToDayNumber(lastSecond)), lastSecond) << lastSecond;
        const ptime fullMinute(date(year, 6, 30), hours(13) + minutes(59) + seconds(0));
        ASSERT_EQ(DayNumberToTime(TimeToDayNumber(fullMinute)), fullMinute) << fullMinute;
    }
}

TEST(DayNumber, RoundingToSixtySecondsCarriesIntoTheNextMinute) {
    // 23:59:59.6 rounds to the next day's midnight.
    const double x = 100 + (86400 - 0.4) / 86400;
    EXPECT_EQ(DayNumberToTime(x), ptime(date(2008, 4, 11)));
    // 10:15:59.7 rounds to 10:16:00.
    const double y = 3 + (10 * 3600 + 15 * 60 + 59.7) / 86400;
    EXPECT_EQ(DayNumberToTime(y), ptime(date(2008, 1, 4), hours(10) + minutes(16)));
}

TEST(Eta, AddsTheRemainingDaysInTheDefaultFormatOrShowsInfinityBeyondTheCalendar) {
    const ptime now = time_from_string("2026-12-08 14:32:05");
    EXPECT_EQ(EtaText(now, 0), "2026-Dec-08 14:32:05");
    EXPECT_EQ(EtaText(now, 1.5), "2026-Dec-10 02:32:05");
    EXPECT_EQ(EtaText(now, 30.0 / 86400), "2026-Dec-08 14:32:35");
    EXPECT_EQ(EtaText(now, 1e9), "+infinity");
    EXPECT_EQ(EtaText(now, 8000 * 366.0), "+infinity");
}
