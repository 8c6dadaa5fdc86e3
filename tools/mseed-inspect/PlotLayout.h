// Where things go in the quick-look picture: a title line at the top, the
// panels stacked below it (labels in a left margin, traces to their right),
// and the time axis with its tick labels and caption at the bottom.
#pragma once

#include <vector>

struct PlotRect {
    int nX = 0, nY = 0, nWidth = 0, nHeight = 0;  // in pixels, (0, 0) top left
};

struct PlotLayout {
    int nWidth = 0, nHeight = 0;     // the picture
    std::vector<PlotRect> atTraces;  // each panel's trace area, top to bottom
    int nTraceLeft = 0;              // x of the first pixel column of every trace area
    int nColumns = 0;                // pixel columns of every trace area
    int nAxisY = 0;                  // y of the time axis line, below the last panel
};

// The smallest picture the plot draws, and the largest.
constexpr int nMinPlotWidth = 320, nMinPlotHeight = 200;
constexpr int nMaxPlotWidth = 16000, nMaxPlotHeight = 16000;

// How many panels of at least the least readable height fit in a picture
// nHeight pixels high.
int nPanelsThatFit(int nHeight);

// The layout of a nWidth x nHeight picture (within the limits above) with
// nPanels panels (at most nPanelsThatFit) of equal height.
PlotLayout tPlotLayout(int nWidth, int nHeight, int nPanels);
