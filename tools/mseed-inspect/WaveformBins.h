// The quick-look plot's data: the decoded records gathered into one panel
// per station and channel, each reduced to the minimum and maximum of the
// samples that fall into each pixel column of a shared time axis. A column
// no sample falls into stays empty, so breaks in time show as blank
// columns; between two consecutive samples further apart than a column the
// columns in between get the line joining them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "RecordWalk.h"

struct PanelColumn {
    bool bHasSamples = false;
    bool bJoinsPrevious = false;  // its first value continues the previous column's last
    double dMin = 0, dMax = 0;    // extremes of the values in the column
    double dLast = 0;             // the column's last value in time order
};

struct WaveformPanel {
    std::string sNetwork, sStation, sLocation, sChannel;
    int32_t nMin = 0, nMax = 0;  // extremes of all the panel's samples
    int64_t nSamples = 0;
    std::vector<PanelColumn> atColumns;
};

struct WaveformBins {
    EpochTime tFrom = 0, tTo = 1;         // the axis: first sample to one period after the last
    EpochTime tLastSample = 0;            // the time of the last sample
    std::vector<WaveformPanel> atPanels;  // in order of the channels' first record
};

// Bins the samples of the walked records (records without samples are left
// out; dropped samples are decoded again, one record at a time) into
// nColumns columns per panel (nColumns >= 1). Two records of a panel
// continue each other when the later starts within half a sample period of
// where the earlier ends.
WaveformBins tBinWaveforms(const RecordWalk& w, int nColumns);
