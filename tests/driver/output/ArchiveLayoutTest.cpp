// The day files a channel falls into: each sample on the UTC day of its
// exact time, whatever its stretch, with the path an SDS archive gives it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/output/ArchiveLayout.h"
#include "timeconv/CalendarTime.h"

namespace {

// Microseconds of a UTC time given by year, day of year and the time of day.
int64_t nAt(int64_t nYear, int32_t nDay, int32_t h, int32_t m, int32_t s, int64_t nMicros = 0) {
    return nEpochSeconds(nYear, nDay, h, m, s) * 1000000 + nMicros;
}

struct LayoutRow {
    const char* szName;
    const char* szCodes;  // record bytes 8 to 19
    int32_t nRate;
    int64_t nSamples;
    std::vector<SampleStretch> atStretches;
    std::vector<std::string> asPaths;  // expected, sorted
    std::vector<TimeSpan> atWritten;   // of each expected path
};

const LayoutRow atRows[] = {
    {"BlankLocationIsWrittenAsNothing",
     "ABC    HHZXX",
     1,
     10,
     {{0, nAt(2024, 61, 10, 0, 0)}},
     {"R/2024/XX/ABC/HHZ.D/XX.ABC..HHZ.D.2024.061"},
     {{nAt(2024, 61, 10, 0, 0), nAt(2024, 61, 10, 0, 10)}}},
    {"LocationAndShortStation",
     "AB   00HHZX ",
     1,
     10,
     {{0, nAt(2024, 61, 10, 0, 0)}},
     {"R/2024/X/AB/HHZ.D/X.AB.00.HHZ.D.2024.061"},
     {{nAt(2024, 61, 10, 0, 0), nAt(2024, 61, 10, 0, 10)}}},
    {"LastDayOfYear9999",
     "ABC    HHZXX",
     100,
     6000,
     {{0, nAt(9999, 365, 23, 59, 0)}},
     {"R/9999/XX/ABC/HHZ.D/XX.ABC..HHZ.D.9999.365"},
     {{nAt(9999, 365, 23, 59, 0), nAt(9999, 365, 23, 59, 60)}}},
    {"LastSampleAt235959_99AgainstFirstAtMidnight",
     "ABC    HHZXX",
     100,
     101,
     {{0, nAt(2024, 366, 23, 59, 59)}},
     {"R/2024/XX/ABC/HHZ.D/XX.ABC..HHZ.D.2024.366", "R/2025/XX/ABC/HHZ.D/XX.ABC..HHZ.D.2025.001"},
     {{nAt(2024, 366, 23, 59, 59), nAt(2025, 1, 0, 0, 0)},
      {nAt(2025, 1, 0, 0, 0), nAt(2025, 1, 0, 0, 0, 10000)}}},
    {"RestartJumpsBackOverMidnight",
     "ABC    HHZXX",
     1,
     60,
     {{0, nAt(2024, 62, 0, 0, 30)}, {30, nAt(2024, 61, 23, 59, 50)}},
     {"R/2024/XX/ABC/HHZ.D/XX.ABC..HHZ.D.2024.061", "R/2024/XX/ABC/HHZ.D/XX.ABC..HHZ.D.2024.062"},
     {{nAt(2024, 61, 23, 59, 50), nAt(2024, 62, 0, 0, 0)},
      {nAt(2024, 62, 0, 0, 0), nAt(2024, 62, 0, 1, 0)}}},
};

class ArchiveLayoutTable : public testing::TestWithParam<LayoutRow> {};

TEST_P(ArchiveLayoutTable, EverySampleLandsInTheDayFileOfItsExactTime) {
    const LayoutRow& r = GetParam();
    ConvertedChannel c;
    std::memcpy(c.tCodes.data(), r.szCodes, c.tCodes.size());
    c.nRate = r.nRate;
    c.nSamples = r.nSamples;
    c.atStretches = r.atStretches;
    const std::vector<DayFile> at = atDayFiles("R", {c});
    ASSERT_EQ(at.size(), r.asPaths.size());
    for (size_t i = 0; i < at.size(); ++i) {
        EXPECT_EQ(at[i].sPath, r.asPaths[i]);
        EXPECT_EQ(at[i].tWritten.nFromMicros, r.atWritten[i].nFromMicros) << at[i].sPath;
        EXPECT_EQ(at[i].tWritten.nToMicros, r.atWritten[i].nToMicros) << at[i].sPath;
    }
}

INSTANTIATE_TEST_SUITE_P(Days, ArchiveLayoutTable, testing::ValuesIn(atRows),
                         [](const testing::TestParamInfo<LayoutRow>& t) { return t.param.szName; });

}  // namespace
