// The quick-look plot: mseed-inspect --plot run as a process on known
// signals, its PNG read back with cairo; and the time axis's ticks.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "MiniSeedFile.h"
#include "PlotLayout.h"
#include "TimeAxis.h"
#include "support/Process.h"
#include "support/TempDir.h"

#ifdef TESSAL_HAVE_CAIRO
#include <cairo.h>
#endif

namespace {

TEST(TimeAxis, StepAndLabelsFollowTheSpan) {
    const EpochTime t0 = 1102427130;  // 2004-12-07 13:45:30
    const struct {
        double dSpan;
        double dStep;
        const char* szFirstLabel;
    } aCases[] = {
        {0.5, 0.05, "13:45:30.00"},             // fractions of a second
        {20, 2, "13:45:30"},                    // seconds
        {3600, 600, "13:50"},                   // minutes
        {86400, 3 * 3600, "15:00"},             // hours; midnight shows the date, below
        {40 * 86400, 5 * 86400, "2004-12-08"},  // days
    };
    for (const auto& c : aCases) {
        const std::vector<TimeTick> at = atTimeTicks(t0, t0 + c.dSpan, 10);
        ASSERT_GE(at.size(), 4u) << c.dSpan;
        EXPECT_LE(at.size(), 11u) << c.dSpan;
        EXPECT_NEAR(at[1].t - at[0].t, c.dStep, 1e-6) << c.dSpan;
        EXPECT_EQ(at[0].sLabel, c.szFirstLabel) << c.dSpan;
        EXPECT_GE(at.front().t, t0);
        EXPECT_LE(at.back().t, t0 + c.dSpan);
    }
    const std::vector<TimeTick> atDay = atTimeTicks(t0, t0 + 86400, 10);
    EXPECT_EQ(atDay[3].sLabel, "2004-12-08");  // 00:00 of the next day
}

#ifdef TESSAL_HAVE_CAIRO

// A PNG read back: its size and whether a pixel is ink (dark, as the traces
// and text are; the grid and frames are light).
class CPicture {
public:
    explicit CPicture(const std::string& sPath)
        : m_pSurface(cairo_image_surface_create_from_png(sPath.c_str())) {}
    ~CPicture() { cairo_surface_destroy(m_pSurface); }
    bool bOk() const { return cairo_surface_status(m_pSurface) == CAIRO_STATUS_SUCCESS; }
    int nWidth() const { return cairo_image_surface_get_width(m_pSurface); }
    int nHeight() const { return cairo_image_surface_get_height(m_pSurface); }
    bool bInk(int x, int y) const {
        const unsigned char* p = cairo_image_surface_get_data(m_pSurface) +
                                 y * cairo_image_surface_get_stride(m_pSurface) + 4 * x;
        const uint32_t n = *reinterpret_cast<const uint32_t*>(p);
        const double dLuminance =
            (0.3 * ((n >> 16) & 0xFF) + 0.59 * ((n >> 8) & 0xFF) + 0.11 * (n & 0xFF)) / 255;
        return dLuminance < 0.5;
    }
    // The ink rows of column x between rows nTop and nBottom (exclusive).
    std::vector<int> anInkRows(int x, int nTop, int nBottom) const {
        std::vector<int> an;
        for (int y = nTop; y < nBottom; ++y)
            if (bInk(x, y)) an.push_back(y);
        return an;
    }

private:
    cairo_surface_t* m_pSurface;
};

ProcessResult tPlot(const std::string& sInput, const std::string& sPng, const std::string& sSize) {
    return tRunProcess(MSEED_INSPECT_PROGRAM, {sInput, "--plot", sPng, "--size", sSize});
}

TEST(QuickLookPlot, SineAndStepInkTheirPanelsAndRows) {
    TempDir tDir;
    SeedTrace tSine = tTrace("PLT", "SIN"), tStep = tTrace("PLT", "STP");
    for (int i = 0; i < 2000; ++i) {
        tSine.anSamples.push_back(
            static_cast<int32_t>(std::lround(1000 * std::sin(i * std::numbers::pi / 100))));
        tStep.anSamples.push_back(i < 1000 ? -500 : 1500);
    }
    vWriteMiniSeed(tDir.sFile("in.mseed"), {tSine, tStep});
    const ProcessResult p = tPlot(tDir.sFile("in.mseed"), tDir.sFile("out.png"), "900x500");
    ASSERT_EQ(p.nExitStatus, 0) << p.sStderr;
    EXPECT_EQ(p.sStdout.substr(p.sStdout.rfind("plot: ")),
              "plot: " + tDir.sFile("out.png") + ", 900x500, 2 of 2 channels drawn\n");

    const CPicture tPng(tDir.sFile("out.png"));
    ASSERT_TRUE(tPng.bOk());
    ASSERT_EQ(tPng.nWidth(), 900);
    ASSERT_EQ(tPng.nHeight(), 500);
    const PlotLayout l = tPlotLayout(900, 500, 2);
    const PlotRect& rSine = l.atTraces[0];
    const PlotRect& rStep = l.atTraces[1];
    const int nTopRow = rSine.nY + 4, nBottomRow = rSine.nY + rSine.nHeight - 5;  // the extremes
    bool bSineTop = false, bSineBottom = false;
    for (int j = 0; j < l.nColumns; ++j) {
        const int x = l.nTraceLeft + j;
        // Below the title, above the axis, ink only inside the two trace areas.
        for (int y = rSine.nY - 6; y < l.nAxisY; ++y) {
            const bool bInSine = y >= rSine.nY && y < rSine.nY + rSine.nHeight;
            const bool bInStep = y >= rStep.nY && y < rStep.nY + rStep.nHeight;
            if (!bInSine && !bInStep) {
                ASSERT_FALSE(tPng.bInk(x, y)) << x << "," << y;
            }
        }
        // The sine inks every column and reaches both extremes.
        const std::vector<int> anSine = tPng.anInkRows(x, rSine.nY, rSine.nY + rSine.nHeight);
        ASSERT_FALSE(anSine.empty()) << "sine column " << j;
        bSineTop = bSineTop || anSine.front() <= nTopRow;
        bSineBottom = bSineBottom || anSine.back() >= nBottomRow;
        // The step: the bottom row left of the middle, the top row right of it.
        const std::vector<int> anStep = tPng.anInkRows(x, rStep.nY, rStep.nY + rStep.nHeight);
        ASSERT_FALSE(anStep.empty()) << "step column " << j;
        if (j < l.nColumns / 2 - 2) {
            EXPECT_EQ(anStep, std::vector<int>{rStep.nY + rStep.nHeight - 5}) << j;
        } else if (j > l.nColumns / 2 + 2) {
            EXPECT_EQ(anStep, std::vector<int>{rStep.nY + 4}) << j;
        }
    }
    EXPECT_TRUE(bSineTop);
    EXPECT_TRUE(bSineBottom);
}

TEST(QuickLookPlot, GapColumnsStayBlank) {
    TempDir tDir;
    SeedTrace tBefore = tTrace("GAP", "BHZ", 50), tAfter = tTrace("GAP", "BHZ", 50);
    for (int i = 0; i < 1500; ++i) tBefore.anSamples.push_back(i % 50 < 25 ? 0 : 100);
    tAfter.anSamples = tBefore.anSamples;
    tAfter.tStart = tBefore.tStart + 60;  // 30 s of samples, 30 s of nothing, 30 s of samples
    vWriteMiniSeed(tDir.sFile("gap.mseed"), {tBefore, tAfter});
    const ProcessResult p = tPlot(tDir.sFile("gap.mseed"), tDir.sFile("gap.png"), "1000x400");
    ASSERT_EQ(p.nExitStatus, 0) << p.sStderr;
    const CPicture tPng(tDir.sFile("gap.png"));
    ASSERT_TRUE(tPng.bOk());
    const PlotLayout l = tPlotLayout(1000, 400, 1);
    const PlotRect& r = l.atTraces[0];
    for (int j = 0; j < l.nColumns; ++j) {
        const double dSeconds = 90.0 * (j + 0.5) / l.nColumns;
        if (std::fabs(dSeconds - 30) < 0.5 || std::fabs(dSeconds - 60) < 0.5) continue;
        const bool bInGap = dSeconds > 30 && dSeconds < 60;
        EXPECT_EQ(tPng.anInkRows(l.nTraceLeft + j, r.nY, r.nY + r.nHeight).empty(), bInGap)
            << "column " << j << " at " << dSeconds << " s";
    }
}

TEST(QuickLookPlot, APictureThatCannotBeWrittenIsAnError) {
    TempDir tDir;
    SeedTrace t = tTrace("STA", "BHZ");
    t.anSamples.assign(10, 1);
    vWriteMiniSeed(tDir.sFile("in.mseed"), {t});
    const std::string sPng = tDir.sFile("missing/out.png");
    const ProcessResult p = tPlot(tDir.sFile("in.mseed"), sPng, "400x300");
    EXPECT_EQ(p.nExitStatus, 2);
    EXPECT_EQ(p.sStderr,
              "mseed-inspect: error: " + sPng + ": cannot be written: No such file or directory\n");
}

#endif  // TESSAL_HAVE_CAIRO

}  // namespace
