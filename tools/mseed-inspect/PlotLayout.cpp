// Margins and panel rectangles of the quick-look picture.
#include "PlotLayout.h"

namespace {

constexpr int nTopMargin = 34;     // the title line
constexpr int nBottomMargin = 52;  // tick labels and the axis caption
constexpr int nLeftMargin = 150;   // panel labels and amplitude ranges
constexpr int nRightMargin = 20;
constexpr int nPanelGap = 10;
constexpr int nLeastPanelHeight = 24;

}  // namespace

int nPanelsThatFit(int nHeight) {
    const int nRoom = nHeight - nTopMargin - nBottomMargin + nPanelGap;
    return nRoom > 0 ? nRoom / (nLeastPanelHeight + nPanelGap) : 0;
}

PlotLayout tPlotLayout(int nWidth, int nHeight, int nPanels) {
    PlotLayout t;
    t.nWidth = nWidth;
    t.nHeight = nHeight;
    t.nTraceLeft = nLeftMargin;
    t.nColumns = nWidth - nLeftMargin - nRightMargin;
    t.nAxisY = nHeight - nBottomMargin;
    if (nPanels <= 0) return t;
    const int nRoom = t.nAxisY - nTopMargin - (nPanels - 1) * nPanelGap;
    const int nPanelHeight = nRoom / nPanels;
    for (int i = 0; i < nPanels; ++i) {
        t.atTraces.push_back(PlotRect{nLeftMargin, nTopMargin + i * (nPanelHeight + nPanelGap),
                                      t.nColumns, nPanelHeight});
    }
    return t;
}
