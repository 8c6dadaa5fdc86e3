// Min/max binning of each channel's samples into pixel columns.
#include "WaveformBins.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

// The column a time falls into, clamped to the axis.
class CColumnScale {
public:
    CColumnScale(EpochTime tFrom, EpochTime tTo, int nColumns)
        : m_tFrom(tFrom), m_dPerSecond(nColumns / (tTo - tFrom)), m_nColumns(nColumns) {}
    int nColumn(EpochTime t) const {
        const double d = std::floor((t - m_tFrom) * m_dPerSecond);
        if (!(d >= 0)) return 0;  // also NaN
        return d >= m_nColumns ? m_nColumns - 1 : static_cast<int>(d);
    }
    EpochTime tCentre(int nColumn) const { return m_tFrom + (nColumn + 0.5) / m_dPerSecond; }

private:
    EpochTime m_tFrom;
    double m_dPerSecond;
    int m_nColumns;
};

void vAddValue(PanelColumn& c, double d, bool bJoins) {
    if (!c.bHasSamples) {
        c = PanelColumn{true, bJoins, d, d, d};
        return;
    }
    c.dMin = std::min(c.dMin, d);
    c.dMax = std::max(c.dMax, d);
    c.dLast = d;
}

// Feeds one panel's samples in time order, joining consecutive samples.
class CPanelFeeder {
public:
    CPanelFeeder(WaveformPanel& tPanel, const CColumnScale& tScale)
        : m_tPanel(tPanel), m_tScale(tScale) {}

    void vAdd(EpochTime t, double d, bool bContinues) {
        const int c = m_tScale.nColumn(t);
        if (bContinues && m_nColumn >= 0 && c > m_nColumn + 1) {
            for (int j = m_nColumn + 1; j < c; ++j) {
                const double dAt = (m_tScale.tCentre(j) - m_tPrevious) / (t - m_tPrevious);
                vAddValue(m_tPanel.atColumns[j], m_dPrevious + (d - m_dPrevious) * dAt, true);
            }
        }
        vAddValue(m_tPanel.atColumns[c], d, bContinues);
        m_nColumn = c;
        m_tPrevious = t;
        m_dPrevious = d;
    }

private:
    WaveformPanel& m_tPanel;
    const CColumnScale& m_tScale;
    int m_nColumn = -1;
    EpochTime m_tPrevious = 0;
    double m_dPrevious = 0;
};

// Indices of the records with samples, per panel, each panel's by start time.
std::vector<std::vector<size_t>> aanRecordsPerPanel(const RecordWalk& w, WaveformBins& tBins) {
    const std::vector<DecodedRecord>& at = w.atRecords;
    std::vector<std::vector<size_t>> aan;
    std::map<std::string, size_t> anPanelOf;  // network, station, location, channel
    for (size_t i = 0; i < at.size(); ++i) {
        const DecodedRecord& r = at[i];
        if (w.anSampleCounts[i] == 0) continue;
        const std::string sKey =
            r.sNetwork + '\0' + r.sStation + '\0' + r.sLocation + '\0' + r.sChannel;
        const auto [it, bNew] = anPanelOf.emplace(sKey, tBins.atPanels.size());
        if (bNew) {
            WaveformPanel tPanel;
            tPanel.sNetwork = r.sNetwork;
            tPanel.sStation = r.sStation;
            tPanel.sLocation = r.sLocation;
            tPanel.sChannel = r.sChannel;
            tBins.atPanels.push_back(tPanel);
            aan.emplace_back();
        }
        aan[it->second].push_back(i);
    }
    for (std::vector<size_t>& an : aan) {
        std::stable_sort(an.begin(), an.end(), [&](size_t a, size_t b) {
            return tRecordStart(at[a]) < tRecordStart(at[b]);
        });
    }
    return aan;
}

// The axis: the first sample of any record to one period after the last.
void vSetAxis(const RecordWalk& w, WaveformBins& tBins) {
    double tFrom = std::numeric_limits<double>::infinity(), tTo = -tFrom, tLast = -tFrom;
    for (size_t i = 0; i < w.atRecords.size(); ++i) {
        const size_t n = w.anSampleCounts[i];
        if (n == 0) continue;
        const DecodedRecord& r = w.atRecords[i];
        const double dStep = 1.0 / dRecordRate(r);
        tFrom = std::min(tFrom, tRecordStart(r));
        tTo = std::max(tTo, tRecordStart(r) + n * dStep);
        tLast = std::max(tLast, tRecordStart(r) + (n - 1) * dStep);
    }
    if (!(tTo > tFrom)) return;  // no samples: the default axis
    tBins.tLastSample = tLast;
    // A span below a microsecond (or lost in the rounding of large times)
    // is drawn as one second.
    tBins.tFrom = tFrom;
    tBins.tTo = tTo - tFrom < 1e-6 ? tFrom + 1 : tTo;
}

void vFillPanel(const RecordWalk& w, const std::vector<size_t>& anRecords,
                const CColumnScale& tScale, WaveformPanel& tPanel) {
    CPanelFeeder tFeeder(tPanel, tScale);
    EpochTime tExpected = 0;
    double dPeriod = 0;
    tPanel.nMin = std::numeric_limits<int32_t>::max();
    tPanel.nMax = std::numeric_limits<int32_t>::min();
    for (size_t i = 0; i < anRecords.size(); ++i) {
        const DecodedRecord& r = w.atRecords[anRecords[i]];
        const std::vector<int32_t> anSamples = anDecodeSamples(w, anRecords[i]);
        const EpochTime tStart = tRecordStart(r);
        const double dStep = 1.0 / dRecordRate(r);
        bool bContinues = i > 0 && std::fabs(tStart - tExpected) <= 0.5 * dPeriod;
        for (size_t k = 0; k < anSamples.size(); ++k) {
            const int32_t n = anSamples[k];
            tFeeder.vAdd(tStart + k * dStep, n, bContinues);
            bContinues = true;
            tPanel.nMin = std::min(tPanel.nMin, n);
            tPanel.nMax = std::max(tPanel.nMax, n);
        }
        tPanel.nSamples += static_cast<int64_t>(anSamples.size());
        tExpected = tStart + anSamples.size() * dStep;
        dPeriod = dStep;
    }
}

}  // namespace

WaveformBins tBinWaveforms(const RecordWalk& w, int nColumns) {
    WaveformBins tBins;
    const std::vector<std::vector<size_t>> aanRecords = aanRecordsPerPanel(w, tBins);
    vSetAxis(w, tBins);
    const CColumnScale tScale(tBins.tFrom, tBins.tTo, nColumns);
    for (size_t p = 0; p < tBins.atPanels.size(); ++p) {
        tBins.atPanels[p].atColumns.assign(static_cast<size_t>(nColumns), PanelColumn{});
        vFillPanel(w, aanRecords[p], tScale, tBins.atPanels[p]);
    }
    return tBins;
}
