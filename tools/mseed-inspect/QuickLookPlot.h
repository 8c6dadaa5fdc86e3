// The quick-look plot: the records' waveforms drawn with cairo into a PNG,
// one panel per station and channel on a shared UTC time axis (see
// WaveformBins.h for what a pixel column shows, PlotLayout.h for where
// things go).
#pragma once

#include <string>
#include <vector>

#include "RecordWalk.h"

struct QuickLookPlot {
    int nWidth = 1600, nHeight = 900;  // the picture, within PlotLayout.h's limits
    std::string sTitle;                // the first words of the title line
    int nPanels = 0;                   // set by the drawing: channels with samples
    int nPanelsDrawn = 0;              // of which drawn (those that fit the height)
};

// Draws the samples of the walked records as tPlot asks and writes the
// picture as PNG to sPngPath (created or replaced). False with the reason in
// sError when the picture cannot be drawn or written.
bool bWriteQuickLookPlot(const RecordWalk& w, QuickLookPlot& tPlot, const std::string& sPngPath,
                         std::string& sError);
