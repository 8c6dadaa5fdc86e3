// The record verifier: records are decoded with the project's decoder and
// compared field by field with what the channel's samples and stretches give.
#include "driver/check/OutputVerify.h"

#include "mseed/SeedRecord.h"
#include "mseed/Steim2Decoder.h"
#include "timeconv/SampleTime.h"
#include "timeconv/UtcText.h"

CRecordVerifier::CRecordVerifier(std::vector<ConvertedChannel> atChannels) {
    for (ConvertedChannel& t : atChannels)
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
    const ConvertedChannel& t = m_atChannels[m_nChannel];
    const DecodedRecord r = tDecodeRecord(p, nSeedRecordLength);
    if (!r.sError.empty()) return "does not decode: " + r.sError;
    if (tCodesOfRecord(p) != t.tCodes)
        return "carries other station, location, channel or network codes";
    const int64_t nDay = nDayOf(tTimeOfSample(t, m_nSample));
    const int64_t nNumber = (t.bNumberedByDay ? m_mapInDay[nDay] : m_nInChannel) + 1;
    if (r.nSequenceNumber != nSequenceNumber(nNumber))
        return "is numbered " + std::to_string(r.nSequenceNumber) + ", not " +
               std::to_string(nSequenceNumber(nNumber));
    if (dRecordRate(r) != t.nRate) return "carries another rate";
    const int64_t nCount = static_cast<int64_t>(r.anSamples.size());
    if (nCount == 0 || nCount > t.nSamples - m_nSample) return "holds too many samples";
    if (t.bNumberedByDay && nDayOf(tTimeOfSample(t, m_nSample + nCount - 1)) != nDay)
        return "runs over midnight into the next day";
    if (nRecordStartMicros(r) != nRecordStartDue(t, m_nSample))
        return "starts at " + sMicrosText(nRecordStartMicros(r)) + ", its first sample at " +
               sMicrosText(nRecordStartDue(t, m_nSample));
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
