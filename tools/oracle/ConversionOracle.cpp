// The conversion oracle. The samples are picked one at a time, exactly as
// the recorder layout places them, with no shortcut shared with the
// program's extraction; the output is read back with our decoder.
#include "ConversionOracle.h"

#include <cmath>
#include <string>

#include "mseed/SeedRecord.h"
#include "mseed/Steim2Decoder.h"
#include "recorder/RecorderHeader.h"

namespace {

// A name as the record holds it: BHZ/BHN/BHE in any letter case become upper
// case, then the first nWidth bytes, padded with blanks.
std::string sNameField(std::string s, size_t nWidth, bool bTranslate) {
    if (bTranslate && s.size() == 3 && (s[0] | 0x20) == 'b' && (s[1] | 0x20) == 'h') {
        const char c = static_cast<char>(s[2] | 0x20);
        if (c == 'z' || c == 'n' || c == 'e') s = std::string("BH") + static_cast<char>(c - 32);
    }
    s.resize(nWidth, ' ');
    return s;
}

// Samples of list position nPosition: for every whole record of
// S = (N x R x rate) x 2 + 256 bytes, the Q = R x rate samples that start
// T = p x R x rate samples after the record header, stopping at the first
// sample that does not lie wholly inside the data area.
std::vector<int32_t> anSelectSamples(const uint8_t* pData, int64_t nDataSize, double dRate,
                                     int nPosition, int nRecSeconds, int nChannelCount) {
    std::vector<int32_t> an;
    const double dS =
        std::trunc(static_cast<double>(nChannelCount) * nRecSeconds * dRate * 2 + 256);
    if (!(dS > 0) || dS > static_cast<double>(nDataSize)) return an;
    const int64_t nS = static_cast<int64_t>(dS);
    const int64_t nK = nDataSize / nS;
    const double dQ = nRecSeconds * dRate;
    const int64_t nT = static_cast<int64_t>(nPosition * static_cast<double>(nRecSeconds) * dRate);
    for (int64_t r = 0; r < nK; ++r) {
        for (int64_t j = 0; j < dQ; ++j) {
            const int64_t nAt = r * nS + 256 + 2 * (nT + j);
            if (nAt < 0 || nAt + 2 > nDataSize) return an;
            an.push_back(pData[nAt] | pData[nAt + 1] << 8);
        }
    }
    return an;
}

}  // namespace

OracleConversion tOracleConversion(const uint8_t* p, size_t n) {
    OracleConversion t;
    RecorderHeader h{};
    RecorderGroup aGroups[nRecorderChannelSlots];
    std::string sError;
    t.tStart = tReadRecorderHeader(p, n, h, sError);
    if (std::isnan(t.tStart)) return t;
    vReadRecorderSections(p, n, h, aGroups);
    if (h.nStreamCount <= 0) return t;
    t.bAccepted = true;

    const int nRecSeconds = h.aStreams[h.nStreamCount - 1].nRecSizeSec;
    const int64_t nDataSize = static_cast<int64_t>(n) - h.nDataOffset;
    const std::string sStation = sNameField(sStationName(h), 5, false);
    for (int i = 0; i < h.nChannelCount && i < nRecorderChannelListLength; ++i) {
        const int c = h.anChannelList[i];
        if (c < 0 || c >= nRecorderChannelSlots || h.aChannels[c].bOn != 1) continue;
        if (aGroups[c].nFreq <= 0 || aGroups[c].nFreq > nMaxSeedRate) continue;
        OracleChannel tChannel;
        tChannel.nPosition = i;
        tChannel.nRate = aGroups[c].nFreq;
        tChannel.sStationField = sStation;
        tChannel.sChannelField = sNameField(h.aChannels[c].sName, 3, true);
        tChannel.anSamples = anSelectSamples(p + h.nDataOffset, nDataSize, aGroups[c].nFreq, i,
                                             nRecSeconds, h.nChannelCount);
        const size_t n = tChannel.anSamples.size();
        if (n > 0 &&
            t.tStart + static_cast<double>(n - 1) / tChannel.nRate >= tLastCalendarSecond + 1) {
            // Records past the last second a record can carry: refused.
            t.bAccepted = false;
            t.atChannels.clear();
            return t;
        }
        t.atChannels.push_back(std::move(tChannel));
    }
    // A run that would write no record at all is refused, and so is one
    // whose records of two positions would carry the same names.
    bool bAnySamples = false, bSameNames = false;
    for (size_t i = 0; i < t.atChannels.size(); ++i) {
        bAnySamples = bAnySamples || !t.atChannels[i].anSamples.empty();
        for (size_t j = 0; j < i; ++j)
            bSameNames =
                bSameNames || t.atChannels[i].sChannelField == t.atChannels[j].sChannelField;
    }
    if (!bAnySamples || bSameNames) {
        t.bAccepted = false;
        t.atChannels.clear();
    }
    return t;
}

namespace {

// Why record r, whose first sample is sample nIndex of a channel that starts
// at tStart (whole seconds) at nRate samples per second, does not start at
// that sample's exact time rounded down to a tick, or, at the rates whose
// records carry a blockette 1001, rounded to the nearest microsecond; empty
// when it does. Worked out in integers of its own.
std::string sStartProblem(EpochTime tStart, int64_t nRate, int64_t nIndex, const DecodedRecord& r) {
    const int64_t nRest = nIndex % nRate * 1000000;
    const int64_t nFloor = static_cast<int64_t>(tStart) * 1000000 + nIndex / nRate * 1000000 +
                           nRest / nRate;  // microseconds, rounded down
    const bool bMicroseconds = nRate > 4900 && nRate != 5000 && nRate != 10000;
    const int64_t nGot = nRecordStartMicros(r);
    std::string sProblem;
    if (r.bHasBlockette1001 != bMicroseconds)
        sProblem = bMicroseconds ? "no blockette 1001; " : "a blockette 1001 it needs not; ";
    const bool bRight = bMicroseconds ? nGot == nFloor + (2 * (nRest % nRate) >= nRate ? 1 : 0)
                                      : nGot <= nFloor && nGot > nFloor - 100;
    if (!bRight)
        sProblem += "starts at " + std::to_string(nGot) + " us, its first sample is due at " +
                    std::to_string(nFloor) + " us";
    return sProblem;
}

}  // namespace

std::vector<std::string> asCheckOutput(const OracleConversion& tExpected, const uint8_t* pOut,
                                       size_t nOut) {
    std::vector<std::string> asProblems;
    if (nOut % 512 != 0) asProblems.push_back("output is not whole 512-byte records");
    const std::vector<DecodedRecord> at = atDecodeRecords(pOut, nOut);

    std::vector<const OracleChannel*> apWithSamples;
    for (const OracleChannel& c : tExpected.atChannels)
        if (!c.anSamples.empty()) apWithSamples.push_back(&c);

    size_t k = 0;
    for (const OracleChannel* pChannel : apWithSamples) {
        const std::string sWhere = "position " + std::to_string(pChannel->nPosition) + ": ";
        if (k >= at.size()) {
            asProblems.push_back(sWhere + "no records");
            break;
        }
        std::vector<int32_t> anGot;
        for (int32_t nSeq = 1; k < at.size() && (nSeq == 1 || at[k].nSequenceNumber != 1);
             ++k, ++nSeq) {
            const DecodedRecord& r = at[k];
            const std::string sRecord = sWhere + "record " + std::to_string(k) + ": ";
            if (!r.sError.empty()) asProblems.push_back(sRecord + r.sError);
            if (r.nSequenceNumber != nSeq)
                asProblems.push_back(sRecord + "sequence number " +
                                     std::to_string(r.nSequenceNumber) + ", expected " +
                                     std::to_string(nSeq));
            const std::string sStart = sStartProblem(tExpected.tStart, pChannel->nRate,
                                                     static_cast<int64_t>(anGot.size()), r);
            if (!sStart.empty()) asProblems.push_back(sRecord + sStart);
            if (dRecordRate(r) != pChannel->nRate)
                asProblems.push_back(sRecord + "rate " + std::to_string(dRecordRate(r)) +
                                     ", expected " + std::to_string(pChannel->nRate));
            if (std::string(r.tHeader.Station_identifier_code, 5) != pChannel->sStationField ||
                std::string(r.tHeader.Channel_identifier, 3) != pChannel->sChannelField)
                asProblems.push_back(sRecord + "station or channel name differs");
            anGot.insert(anGot.end(), r.anSamples.begin(), r.anSamples.end());
        }
        if (anGot != pChannel->anSamples)
            asProblems.push_back(sWhere + std::to_string(anGot.size()) +
                                 " samples differ from the " +
                                 std::to_string(pChannel->anSamples.size()) + " expected");
    }
    if (k < at.size())
        asProblems.push_back(std::to_string(at.size() - k) + " records more than expected");
    return asProblems;
}
