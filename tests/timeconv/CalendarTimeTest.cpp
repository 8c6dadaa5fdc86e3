// Calendar and epoch conversions: millisecond rounding and carry, leap
// years, day counts, the split of whole seconds against gmtime, UTC text,
// and the recorder's double/float arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>
#include <random>

#include "timeconv/CalendarTime.h"
#include "timeconv/UtcText.h"

namespace {

struct Calendar {
    int32_t nYear, nDay, nHour, nMinute, nSecond, nMs;
    bool operator==(const Calendar&) const = default;
};

Calendar tSplit(EpochTime t) {
    Calendar c{};
    vEpochToCalendar(t, c.nYear, c.nDay, c.nHour, c.nMinute, c.nSecond, c.nMs);
    return c;
}

std::ostream& operator<<(std::ostream& os, const Calendar& c) {
    return os << c.nYear << "/" << c.nDay << " " << c.nHour << ":" << c.nMinute << ":"
              << c.nSecond << "." << c.nMs;
}

TEST(EpochToCalendar, RoundsMillisecondsHalfUpOnTheDoubleValue) {
    EXPECT_EQ(tSplit(0.0), (Calendar{1970, 1, 0, 0, 0, 0}));
    EXPECT_EQ(tSplit(0.3125), (Calendar{1970, 1, 0, 0, 0, 313}));
    EXPECT_EQ(tSplit(0.5), (Calendar{1970, 1, 0, 0, 0, 500}));
    // The double nearest 1.0025 lies below it: 2.4999... ms rounds down.
    EXPECT_EQ(tSplit(1.0025), (Calendar{1970, 1, 0, 0, 1, 2}));
}

TEST(EpochToCalendar, RoundingToOneThousandCarriesBeforeTheSplit) {
    EXPECT_EQ(tSplit(0.9996), (Calendar{1970, 1, 0, 0, 1, 0}));
    EXPECT_EQ(tSplit(86399.9996), (Calendar{1970, 2, 0, 0, 0, 0}));
    EXPECT_EQ(tSplit(1078099199.9996), (Calendar{2004, 61, 0, 0, 0, 0}));
    // New year's carry: 2004-12-31 23:59:59.9996 (2004 has 366 days).
    EXPECT_EQ(tSplit(1104537599.9996), (Calendar{2005, 1, 0, 0, 0, 0}));
}

TEST(EpochToCalendar, LeapDaysAndTheEndOf32BitTime) {
    EXPECT_EQ(tSplit(1078099199.5), (Calendar{2004, 60, 23, 59, 59, 500}));
    EXPECT_EQ(tSplit(2147483647.0), (Calendar{2038, 19, 3, 14, 7, 0}));
    // Past 2038 the split goes on: 2038-01-19 03:14:08 and 2100-03-01.
    EXPECT_EQ(tSplit(2147483648.0), (Calendar{2038, 19, 3, 14, 8, 0}));
    EXPECT_EQ(tSplit(4107542400.0), (Calendar{2100, 60, 0, 0, 0, 0}));
    EXPECT_EQ(tSplit(951782400.0), (Calendar{2000, 60, 0, 0, 0, 0}));  // 2000-02-29
}

TEST(EpochToCalendar, AgreesWithGmtimeOverManyRandomSeconds) {
    std::mt19937_64 rng(20261208);
    std::uniform_int_distribution<int64_t> dist(0, 7258118399);  // up to 2199-12-31
    for (int i = 0; i < 200000; ++i) {
        const int64_t s = dist(rng);
        const time_t tt = static_cast<time_t>(s);
        struct tm tmUtc;
        ASSERT_NE(gmtime_r(&tt, &tmUtc), nullptr);
        const Calendar tExpected{tmUtc.tm_year + 1900, tmUtc.tm_yday + 1, tmUtc.tm_hour,
                                 tmUtc.tm_min, tmUtc.tm_sec, 0};
        ASSERT_EQ(tSplit(static_cast<double>(s)), tExpected) << "at " << s;
    }
}

TEST(EpochToCalendar, TimesBeforeNineteenSeventyClampToTheEpoch) {
    EXPECT_EQ(tSplit(-5.25), (Calendar{1970, 1, 0, 0, 0, 0}));
    EXPECT_EQ(tSplit(std::nan("")), (Calendar{1970, 1, 0, 0, 0, 0}));
}

TEST(EpochToCalendar, TheLastSecondOf9999KeepsItsMillisecondsAndNoLaterTimeExists) {
    EXPECT_EQ(tSplit(tLastCalendarSecond), (Calendar{9999, 365, 23, 59, 59, 0}));
    EXPECT_EQ(tSplit(tLastCalendarSecond + 0.5), (Calendar{9999, 365, 23, 59, 59, 500}));
    // 999.7 ms would round into the year 10000.
    EXPECT_EQ(tSplit(tLastCalendarSecond + 0.9997), (Calendar{9999, 365, 23, 59, 59, 999}));
    EXPECT_EQ(tSplit(tLastCalendarSecond + 86400), (Calendar{9999, 365, 23, 59, 59, 999}));
}

// gmtime_r's fields of s compared with tSplitEpochSeconds, and gmtime's year
// and day of year with nDaysBeforeYear; at the last second of a month with
// nDaysInMonth too.
void vExpectSplitAsGmtime(int64_t s) {
    const time_t tt = static_cast<time_t>(s);
    struct tm m;
    ASSERT_NE(gmtime_r(&tt, &m), nullptr) << s;
    const UtcFields tUtc = tSplitEpochSeconds(s);
    ASSERT_EQ(tUtc.nYear, m.tm_year + int64_t{1900}) << s;
    ASSERT_EQ(tUtc.nMonth, m.tm_mon + 1) << s;
    ASSERT_EQ(tUtc.nDay, m.tm_mday) << s;
    ASSERT_EQ(tUtc.nDayOfYear, m.tm_yday + 1) << s;
    ASSERT_EQ(tUtc.nHour, m.tm_hour) << s;
    ASSERT_EQ(tUtc.nMinute, m.tm_min) << s;
    ASSERT_EQ(tUtc.nSecond, m.tm_sec) << s;
    const int64_t nSecondOfDay = (s % 86400 + 86400) % 86400;
    ASSERT_EQ(nDaysBeforeYear(m.tm_year + int64_t{1900}) + m.tm_yday, (s - nSecondOfDay) / 86400)
        << s;
    const time_t ttNext = tt + 1;
    struct tm mNext;
    if (nSecondOfDay == 86399 && gmtime_r(&ttNext, &mNext) != nullptr && mNext.tm_mday == 1) {
        ASSERT_EQ(nDaysInMonth(m.tm_year + int64_t{1900}, m.tm_mon + 1), m.tm_mday) << s;
    }
}

TEST(SplitEpochSeconds, AgreesWithGmtimeFromBeforeYearZeroToMillionsOfYears) {
    // Every day, at its first and last second, across year 0, four centuries
    // on either side of 2000 (1700, 1800, 1900 and 2100 have no leap day,
    // 1600, 2000 and 2400 have one) and the turn to the year 10000.
    const int64_t anYearRanges[][2] = {{-2, 1}, {1599, 2401}, {9999, 10000}};
    for (const auto& an : anYearRanges) {
        for (int64_t d = nDaysBeforeYear(an[0]); d < nDaysBeforeYear(an[1] + 1); ++d) {
            ASSERT_NO_FATAL_FAILURE(vExpectSplitAsGmtime(d * 86400));
            ASSERT_NO_FATAL_FAILURE(vExpectSplitAsGmtime(d * 86400 + 86399));
        }
    }
    // Random seconds: within the +-10^14 s mseed-inspect shows, and as far as
    // gmtime goes.
    std::mt19937_64 rng(20261209);
    for (const int64_t nLimit : {int64_t{100000000000000}, int64_t{67000000000000000}}) {
        std::uniform_int_distribution<int64_t> dist(-nLimit, nLimit);
        for (int i = 0; i < 100000; ++i) ASSERT_NO_FATAL_FAILURE(vExpectSplitAsGmtime(dist(rng)));
    }
}

TEST(SplitEpochSeconds, TheEndsOfInt64StillSplitIntoConsistentFields) {
    for (const int64_t s :
         {std::numeric_limits<int64_t>::min(), int64_t{-1}, std::numeric_limits<int64_t>::max()}) {
        const UtcFields tUtc = tSplitEpochSeconds(s);
        const int64_t nSecondOfDay = (s % 86400 + 86400) % 86400;
        const int64_t nDays = s / 86400 - (s % 86400 < 0 ? 1 : 0);
        EXPECT_EQ(nDaysBeforeYear(tUtc.nYear) + tUtc.nDayOfYear - 1, nDays) << s;
        EXPECT_EQ(tUtc.nHour * 3600 + tUtc.nMinute * 60 + tUtc.nSecond, nSecondOfDay) << s;
        const int nLeapDay = tUtc.nMonth > 2 && bIsLeapYear(tUtc.nYear) ? 1 : 0;
        EXPECT_EQ(nDaysBeforeMonth[tUtc.nMonth] + nLeapDay + tUtc.nDay, tUtc.nDayOfYear) << s;
    }
}

TEST(CalendarToEpoch, WorkedDates) {
    EXPECT_EQ(dCalendarToEpoch(1970, 1, 1, 0, 0, 0.0f), 0.0);
    EXPECT_EQ(dCalendarToEpoch(1972, 12, 31, 0, 0, 0.0f), 94608000.0);
    EXPECT_EQ(dCalendarToEpoch(2004, 3, 1, 0, 0, 0.0f), 1078099200.0);
    EXPECT_EQ(dCalendarToEpoch(2004, 2, 29, 12, 30, 15.25f), 1078057815.25);
    EXPECT_EQ(dCalendarToEpoch(2000, 12, 31, 23, 59, 59.0f), 978307199.0);
    EXPECT_EQ(dCalendarToEpoch(2100, 3, 1, 0, 0, 0.0f), 4107542400.0);
    EXPECT_EQ(dCalendarToEpoch(2004, 12, 7, 13, 45, 30.0f), 1102427130.0);
}

TEST(CalendarToEpoch, OutOfRangeFieldsAddTheirSeconds) {
    EXPECT_EQ(dCalendarToEpoch(2004, 1, 0, 0, 0, 0.0f), 1072828800.0);  // 2003-12-31
    EXPECT_EQ(dCalendarToEpoch(2004, 0, 1, 0, 0, 0.0f), 1072915200.0);  // month 0 = January
    EXPECT_EQ(dCalendarToEpoch(2004, 1, 1, 25, 61, 0.0f), 1072915200.0 + 25 * 3600 + 61 * 60);
}

TEST(CalendarToEpoch, SecondsKeepTheirSinglePrecisionRounding) {
    const double t = dCalendarToEpoch(1970, 1, 1, 0, 0, 59.999f);
    EXPECT_EQ(t, static_cast<double>(59.999f));
    EXPECT_NE(t, 59.999);
}

TEST(CalendarToEpoch, MonthWithoutTableEntryGivesNaN) {
    EXPECT_TRUE(std::isnan(dCalendarToEpoch(2004, 13, 1, 0, 0, 0.0f)));
    EXPECT_TRUE(std::isnan(dCalendarToEpoch(2004, -1, 1, 0, 0, 0.0f)));
}

TEST(CalendarToEpoch, InvertsEpochToCalendarForEveryDayOfSeveralLeapCycles) {
    // Day by day from 1970 to 2110: dCalendarToEpoch of the split gives t back.
    for (int64_t nDays = 0; nDays < 51500; ++nDays) {
        const double t = static_cast<double>(nDays * 86400 + 3723);
        const Calendar c = tSplit(t);
        const double dBack = dCalendarToEpoch(static_cast<int16_t>(c.nYear), 1,
                                              static_cast<int16_t>(c.nDay), c.nHour, c.nMinute,
                                              static_cast<float>(c.nSecond));
        ASSERT_EQ(dBack, t) << "day " << nDays;
    }
}

TEST(LeapYear, GregorianRule) {
    EXPECT_EQ(nIsLeapYear(1900), 0);
    EXPECT_EQ(nIsLeapYear(1972), 1);
    EXPECT_EQ(nIsLeapYear(2000), 1);
    EXPECT_EQ(nIsLeapYear(2001), 0);
    EXPECT_EQ(nIsLeapYear(2004), 1);
    EXPECT_EQ(nIsLeapYear(2100), 0);
    EXPECT_EQ(nIsLeapYear(-400), 1);
    // Before year 1 as well: year 0 and -4 are leap years, -100 and -1 not.
    EXPECT_TRUE(bIsLeapYear(0));
    EXPECT_TRUE(bIsLeapYear(-4));
    EXPECT_FALSE(bIsLeapYear(-100));
    EXPECT_FALSE(bIsLeapYear(-1));
    EXPECT_EQ(nDaysInYear(2000), 366);
    EXPECT_EQ(nDaysInYear(2100), 365);
    EXPECT_EQ(nDaysInMonth(2000, 2), 29);
    EXPECT_EQ(nDaysInMonth(1900, 2), 28);
    EXPECT_EQ(nDaysInMonth(2004, 12), 31);
}

TEST(UtcText, WholeSecondsAndFractionsInEveryYearWidth) {
    const struct {
        int64_t nSeconds;
        int nDigits;
        int64_t nFraction;
        const char* sz;
    } aRows[] = {
        {1102427130, 0, 0, "2004-12-07 13:45:30"},
        {951868799, 4, 9999, "2000-02-29 23:59:59.9999"},
        {4107542399, 4, 7, "2100-02-28 23:59:59.0007"},
        {-1, 3, 5, "1969-12-31 23:59:59.005"},
        {-62167219200, 0, 0, "0000-01-01 00:00:00"},
        {-62167219201, 0, 0, "-001-12-31 23:59:59"},
        {253402300800, 1, 0, "10000-01-01 00:00:00.0"},
        {-100000000000000, 4, 0, "-3166904-02-24 14:13:20.0000"},
        {100000000000000, 0, 0, "3170843-11-07 09:46:40"},
    };
    for (const auto& r : aRows)
        EXPECT_EQ(sUtcText(r.nSeconds, r.nDigits, r.nFraction), r.sz) << r.nSeconds;
}

}  // namespace
