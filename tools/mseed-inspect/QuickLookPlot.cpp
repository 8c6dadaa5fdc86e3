// Drawing the quick-look plot with cairo: panels, traces, labels, time axis,
// and the PNG file.
#include "QuickLookPlot.h"

#include <cairo.h>
#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "InspectReport.h"
#include "PlotLayout.h"
#include "TimeAxis.h"
#include "WaveformBins.h"

namespace {

constexpr double dFontSize = 12;
constexpr int nTracePad = 4;  // pixels between a trace's extremes and its frame
constexpr int nLeastTickSpacing = 110;

void vSetGray(cairo_t* cr, double d) {
    cairo_set_source_rgb(cr, d, d, d);
}

void vText(cairo_t* cr, double dX, double dY, const std::string& s, bool bBold = false,
           double dSize = dFontSize) {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bBold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, dSize);
    cairo_move_to(cr, dX, dY);
    cairo_show_text(cr, s.c_str());
}

double dTextWidth(cairo_t* cr, const std::string& s) {
    cairo_text_extents_t t;
    cairo_text_extents(cr, s.c_str(), &t);
    return t.x_advance;
}

// The y of value d in a trace area showing nMin..nMax (top is nMax).
double dValueY(const PlotRect& r, const WaveformPanel& p, double d) {
    if (p.nMax == p.nMin) return r.nY + r.nHeight / 2;
    const double dRows = r.nHeight - 2 * nTracePad - 1;
    return r.nY + nTracePad +
           (static_cast<double>(p.nMax) - d) * dRows / (static_cast<double>(p.nMax) - p.nMin);
}

double dTimeX(const PlotLayout& l, const WaveformBins& b, EpochTime t) {
    return l.nTraceLeft + (t - b.tFrom) / (b.tTo - b.tFrom) * l.nColumns;
}

std::string sPanelName(const WaveformPanel& p) {
    std::string s;
    for (const std::string* ps : {&p.sNetwork, &p.sStation, &p.sLocation, &p.sChannel}) {
        if (ps->empty()) continue;
        if (!s.empty()) s += ' ';
        s += sPrintable(*ps);
    }
    return s;
}

// Station and channel, the amplitude range in counts, in the left margin.
void vDrawPanelLabel(cairo_t* cr, const PlotRect& r, const WaveformPanel& p) {
    vSetGray(cr, 0.0);
    const std::string sMax = std::to_string(p.nMax), sMin = std::to_string(p.nMin);
    cairo_save(cr);
    cairo_rectangle(cr, 0, r.nY, r.nX - 6, r.nHeight);
    cairo_clip(cr);
    if (r.nHeight >= 70) {
        const double dY = r.nY + r.nHeight / 2.0 - 22;
        vText(cr, 10, dY, sPanelName(p), true);
        vText(cr, 10, dY + 17, "max " + sMax);
        vText(cr, 10, dY + 33, "min " + sMin);
        vText(cr, 10, dY + 49, "counts");
    } else {
        vText(cr, 10, r.nY + r.nHeight / 2.0 + 4, sPanelName(p) + "  " + sMin + ".." + sMax, false,
              9);
    }
    cairo_restore(cr);
}

void vDrawTrace(cairo_t* cr, const PlotRect& r, const WaveformPanel& p) {
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgb(cr, 0.05, 0.2, 0.55);
    const std::vector<PanelColumn>& at = p.atColumns;
    for (size_t j = 0; j < at.size() && j < static_cast<size_t>(r.nWidth); ++j) {
        if (!at[j].bHasSamples) continue;
        double dLow = at[j].dMin, dHigh = at[j].dMax;
        if (at[j].bJoinsPrevious && j > 0 && at[j - 1].bHasSamples) {
            dLow = std::min(dLow, at[j - 1].dLast);
            dHigh = std::max(dHigh, at[j - 1].dLast);
        }
        const double dTop = std::floor(dValueY(r, p, dHigh));
        const double dBottom = std::floor(dValueY(r, p, dLow));
        cairo_rectangle(cr, r.nX + static_cast<double>(j), dTop, 1, dBottom - dTop + 1);
    }
    cairo_fill(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
}

void vDrawPanel(cairo_t* cr, const PlotLayout& l, const WaveformBins& b, const PlotRect& r,
                const WaveformPanel& p, const std::vector<TimeTick>& atTicks) {
    cairo_set_line_width(cr, 1);
    vSetGray(cr, 0.9);
    for (const TimeTick& t : atTicks) {
        const double dX = std::floor(dTimeX(l, b, t.t)) + 0.5;
        cairo_move_to(cr, dX, r.nY);
        cairo_line_to(cr, dX, r.nY + r.nHeight);
    }
    cairo_stroke(cr);
    vSetGray(cr, 0.6);
    cairo_rectangle(cr, r.nX - 0.5, r.nY - 0.5, r.nWidth + 1, r.nHeight + 1);
    cairo_stroke(cr);
    vDrawTrace(cr, r, p);
    vDrawPanelLabel(cr, r, p);
}

void vDrawTimeAxis(cairo_t* cr, const PlotLayout& l, const WaveformBins& b,
                   const std::vector<TimeTick>& atTicks) {
    vSetGray(cr, 0.0);
    cairo_set_line_width(cr, 1);
    for (const TimeTick& t : atTicks) {
        const double dX = std::floor(dTimeX(l, b, t.t)) + 0.5;
        cairo_move_to(cr, dX, l.nAxisY + 1);
        cairo_line_to(cr, dX, l.nAxisY + 6);
    }
    cairo_stroke(cr);
    for (const TimeTick& t : atTicks) {
        cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, dFontSize);
        const double dWidth = dTextWidth(cr, t.sLabel);
        const double dX = std::min(dTimeX(l, b, t.t) - dWidth / 2, l.nWidth - dWidth - 2);
        vText(cr, dX, l.nAxisY + 20, t.sLabel);
    }
    vText(cr, l.nTraceLeft, l.nAxisY + 40,
          "UTC, first sample " + sFormatTime(b.tFrom) + ", last " + sFormatTime(b.tLastSample));
}

cairo_status_t nAppendPng(void* p, const unsigned char* pData, unsigned int nLength) {
    static_cast<std::string*>(p)->append(reinterpret_cast<const char*>(pData), nLength);
    return CAIRO_STATUS_SUCCESS;
}

bool bWriteFile(const std::string& sPath, const std::string& sBytes, std::string& sError) {
    const int nFd = ::open(sPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (nFd < 0) {
        sError = sPath + ": cannot be written: " + std::strerror(errno);
        return false;
    }
    size_t nDone = 0;
    while (nDone < sBytes.size()) {
        const ssize_t n = ::write(nFd, sBytes.data() + nDone, sBytes.size() - nDone);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            sError = sPath + ": cannot be written: " + std::strerror(n < 0 ? errno : EIO);
            ::close(nFd);
            return false;
        }
        nDone += static_cast<size_t>(n);
    }
    if (::close(nFd) != 0) {
        sError = sPath + ": cannot be written: " + std::strerror(errno);
        return false;
    }
    return true;
}

// Draws everything onto cr; the picture is tPlot's size.
void vDraw(cairo_t* cr, const RecordWalk& w, QuickLookPlot& tPlot) {
    vSetGray(cr, 1.0);
    cairo_paint(cr);
    const int nColumns = tPlotLayout(tPlot.nWidth, tPlot.nHeight, 0).nColumns;
    const WaveformBins b = tBinWaveforms(w, nColumns);
    tPlot.nPanels = static_cast<int>(b.atPanels.size());
    tPlot.nPanelsDrawn = std::min(tPlot.nPanels, nPanelsThatFit(tPlot.nHeight));
    const PlotLayout l = tPlotLayout(tPlot.nWidth, tPlot.nHeight, tPlot.nPanelsDrawn);
    const std::vector<TimeTick> atTicks =
        atTimeTicks(b.tFrom, b.tTo, std::max(1, l.nColumns / nLeastTickSpacing));
    vSetGray(cr, 0.0);
    std::string sTitle = sPrintable(tPlot.sTitle) + ": " + std::to_string(tPlot.nPanels) +
                         (tPlot.nPanels == 1 ? " channel" : " channels");
    if (tPlot.nPanelsDrawn < tPlot.nPanels)
        sTitle += ", the first " + std::to_string(tPlot.nPanelsDrawn) + " shown";
    vText(cr, 10, 22, sTitle, true, 14);
    for (int i = 0; i < tPlot.nPanelsDrawn; ++i)
        vDrawPanel(cr, l, b, l.atTraces[static_cast<size_t>(i)], b.atPanels[static_cast<size_t>(i)],
                   atTicks);
    vDrawTimeAxis(cr, l, b, atTicks);
}

}  // namespace

bool bWriteQuickLookPlot(const RecordWalk& w, QuickLookPlot& tPlot, const std::string& sPngPath,
                         std::string& sError) {
    cairo_surface_t* pSurface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, tPlot.nWidth, tPlot.nHeight);
    cairo_t* cr = cairo_create(pSurface);
    vDraw(cr, w, tPlot);
    std::string sPng;
    cairo_status_t nStatus = cairo_status(cr);
    cairo_destroy(cr);
    if (nStatus == CAIRO_STATUS_SUCCESS)
        nStatus = cairo_surface_write_to_png_stream(pSurface, nAppendPng, &sPng);
    cairo_surface_destroy(pSurface);
    // cairo keeps its font caches, fontconfig its parsed configuration, for
    // the life of the process: give both back, so a leak check sees none.
    cairo_debug_reset_static_data();
    FcFini();
    if (nStatus != CAIRO_STATUS_SUCCESS) {
        sError = sPngPath + ": cannot be drawn: " + cairo_status_to_string(nStatus);
        return false;
    }
    return bWriteFile(sPngPath, sPng, sError);
}
