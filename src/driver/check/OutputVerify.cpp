// The record verifier: records are decoded with the project's decoder and
// compared field by field with what the channel's samples and runs give.
#include "driver/check/OutputVerify.h"

#include <cstring>

#include "mseed/SeedRecord.h"
#include "mseed/Steim2Decoder.h"
#include "timeconv/SampleTime.h"
#include "timeconv/UtcText.h"

namespace {

// The exact time of sample nIndex of channel t.
SampleTime tExactTime(const VerifiedChannel& t, int64_t nIndex) {
    const VerifiedRun* pRun = &t.atRuns.front();
    for (const VerifiedRun& r : t.atRuns)
        if (r.nFirstSample <= nIndex) pRun = &r;
    return tSampleTime(pRun->nStartMicros, nIndex - pRun->nFirstSample, t.nRate);
}

// Where sample nIndex of channel t must start, in microseconds: the exact
// time rounded down to a tick, or to the nearest microsecond.
int64_t nDueMicros(const VerifiedChannel& t, int64_t nIndex) {
    const SampleTime tExact = tExactTime(t, nIndex);
    if (t.bMicroseconds) return nNearestMicros(tExact);
    return nFloorTicks(tExact) * 100;
}

// Microseconds since 1970 as "2004-12-07 13:45:33.840100 UTC".
std::string sMicrosText(int64_t nMicros) {
    const int64_t nSeconds = nMicros >= 0 ? nMicros / 1000000 : -((999999 - nMicros) / 1000000);
    return sUtcText(nSeconds, 6, nMicros - nSeconds * 1000000) + " UTC";
}

}  // namespace

CRecordVerifier::CRecordVerifier(std::vector<VerifiedChannel> atChannels) {
    for (VerifiedChannel& t : atChannels)
        if (t.nSamples > 0) m_atChannels.push_back(std::move(t));
}

bool CRecordVerifier::bCheck(const unsigned char* pRecords, size_t nRecords) {
    for (size_t k = 0; k < nRecords && m_sProblem.empty(); ++k) {
        const std::string s = sDifference(pRecords + k * nSeedRecordLength);
        ++m_nRecords;
        if (!s.empty()) m_sProblem = "record " + std::to_string(m_nRecords) + " " + s;
    }
    return m_sProblem.empty();
}

bool CRecordVerifier::bComplete() {
    if (!m_sProblem.empty()) return false;
    if (m_nChannel < m_atChannels.size())
        m_sProblem = std::to_string(m_atChannels[m_nChannel].nSamples - m_nSample) +
                     " samples are missing after record " + std::to_string(m_nRecords);
    return m_sProblem.empty();
}

std::string CRecordVerifier::sDifference(const unsigned char* p) {
    if (m_nChannel >= m_atChannels.size()) return "is one more than the run wrote";
    const VerifiedChannel& t = m_atChannels[m_nChannel];
    const DecodedRecord r = tDecodeRecord(p, nSeedRecordLength);
    if (!r.sError.empty()) return "does not decode: " + r.sError;
    if (std::memcmp(p + 8, t.tCodes.data(), t.tCodes.size()) != 0)
        return "carries other station, location, channel or network codes";
    const int64_t nDay = nDayOf(tExactTime(t, m_nSample));
    const int64_t nNumber = (t.bNumberedByDay ? m_mapInDay[nDay] : m_nInChannel) + 1;
    if (r.nSequenceNumber != nSequenceNumber(nNumber))
        return "is numbered " + std::to_string(r.nSequenceNumber) + ", not " +
               std::to_string(nSequenceNumber(nNumber));
    if (dRecordRate(r) != t.nRate) return "carries another rate";
    const int64_t nCount = static_cast<int64_t>(r.anSamples.size());
    if (nCount == 0 || nCount > t.nSamples - m_nSample) return "holds too many samples";
    if (t.bNumberedByDay && nDayOf(tExactTime(t, m_nSample + nCount - 1)) != nDay)
        return "runs over midnight into the next day";
    if (nRecordStartMicros(r) != nDueMicros(t, m_nSample))
        return "starts at " + sMicrosText(nRecordStartMicros(r)) + ", its first sample at " +
               sMicrosText(nDueMicros(t, m_nSample));
    std::vector<int32_t> anRecording(static_cast<size_t>(nCount));
    t.fnSamples(m_nSample, static_cast<int>(nCount), anRecording.data());
    for (size_t j = 0; j < anRecording.size(); ++j) {
        if (r.anSamples[j] != anRecording[j])
            return "holds " + std::to_string(r.anSamples[j]) + " as sample " +
                   std::to_string(m_nSample + static_cast<int64_t>(j) + 1) + " of its channel, " +
                   "the recording " + std::to_string(anRecording[j]);
    }
    m_nSample += nCount;
    ++m_nInChannel;
    ++m_mapInDay[nDay];
    if (m_nSample == t.nSamples) {
        ++m_nChannel;
        m_nSample = 0;
        m_nInChannel = 0;
        m_mapInDay.clear();
    }
    return "";
}
