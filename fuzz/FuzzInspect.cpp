// Fuzz target: mseed-inspect's record walk, its report and the plot's
// binning on arbitrary bytes, and the archive check's walk by record
// lengths and its checks of a day file. Nothing may crash or read out of
// bounds, the report and the day file's problems may hold only printable
// ASCII, the header walk must step from record to record by lengths of 128
// to 65536 bytes within the input, and every pixel column's extremes must
// lie within its panel's range.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "DayFileCheck.h"
#include "HeaderWalk.h"
#include "InspectReport.h"
#include "RecordWalk.h"
#include "TimeAxis.h"
#include "WaveformBins.h"

namespace {

void vFail(const char* szWhat) {
    std::fprintf(stderr, "fuzz_inspect: %s\n", szWhat);
    std::abort();
}

void vCheckPrintable(const std::string& s) {
    for (const char c : s)
        if (c != '\n' && (c < 0x20 || c > 0x7E)) vFail("report holds a byte that is not printable");
}

void vCheckBins(const WaveformBins& b) {
    if (!(b.tTo > b.tFrom)) vFail("empty time axis");
    for (const WaveformPanel& p : b.atPanels) {
        for (const PanelColumn& c : p.atColumns) {
            if (!c.bHasSamples) continue;
            if (!(c.dMin <= c.dMax) || c.dMin < p.nMin || c.dMax > p.nMax || c.dLast < c.dMin ||
                c.dLast > c.dMax)
                vFail("column extremes outside the panel's range");
        }
    }
    for (const TimeTick& t : atTimeTicks(b.tFrom, b.tTo, 12)) vCheckPrintable(t.sLabel);
}

// The archive check on the bytes as a day file of XX.ABC..HHZ.
void vCheckDayFile(const uint8_t* pData, size_t nSize) {
    const HeaderWalk w = tWalkHeaders(pData, nSize);
    size_t nOffset = 0;
    for (const RecordHeader& r : w.atRecords) {
        if (r.nOffset != nOffset || r.nLength < 128 || r.nLength > 65536 ||
            r.nLength > nSize - nOffset)
            vFail("the header walk stepped outside the records");
        nOffset += r.nLength;
    }
    if (w.sStop.empty() != (nOffset == nSize)) vFail("the header walk stopped without a reason");
    DayFilePath tPath;
    if (!bParseDayFilePath("2010/XX/ABC/HHZ.D/XX.ABC..HHZ.D.2010.001", tPath))
        vFail("a day file's name not taken for one");
    for (const std::string& s : asDayFileProblems(tPath, w)) vCheckPrintable(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    // With the samples kept, as for a comparison; without, as for a plot.
    const RecordWalk w = tWalkRecords(pData, nSize, true);
    std::vector<ExpectedChannel> atExpected(1);
    atExpected[0].sName = "BHZ";
    vCheckPrintable(tInspectReport("input", w, ReportOptions{true, true}, &atExpected).sText);
    vCheckPrintable(w.sStop);
    const RecordWalk wDropped = tWalkRecords(pData, nSize, false);
    vCheckBins(tBinWaveforms(wDropped, 97));
    vCheckDayFile(pData, nSize);
    return 0;
}
