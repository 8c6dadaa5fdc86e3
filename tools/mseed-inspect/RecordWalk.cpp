// The record walk: a plausibility check of each fixed header before the
// record is decoded.
#include "RecordWalk.h"

#include <algorithm>

#include "mseed/SeedRecord.h"

namespace {

constexpr size_t nFixedHeaderBytes = 48;

uint16_t nBig16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

}  // namespace

std::string sImplausibleHeader(const uint8_t* p, size_t nSize) {
    if (nSize < nFixedHeaderBytes)
        return std::to_string(nSize) + " bytes are too few for a record header";
    if (!bLooksLikeDataRecord(p, nSize)) return "no sequence number and quality code";
    const uint16_t nYear = nBig16(p + 20), nDay = nBig16(p + 22), nFract = nBig16(p + 28);
    const uint8_t nHour = p[24], nMinute = p[25], nSecond = p[26];
    if (nYear < 1900 || nYear > 9999 || nDay < 1 || nDay > 366 || nHour > 23 || nMinute > 59 ||
        nSecond > 60 || nFract > 9999)
        return "no valid start time";
    return "";
}

RecordWalk tWalkRecords(const uint8_t* p, size_t nBytes, bool bKeepSamples) {
    RecordWalk w;
    w.pBytes = p;
    w.nBytes = nBytes;
    const size_t nLength = static_cast<size_t>(nSeedRecordLength);
    w.atRecords.reserve(nBytes / nLength + 1);
    w.anSampleCounts.reserve(nBytes / nLength + 1);
    for (size_t nOffset = 0; nOffset < nBytes; nOffset += nLength) {
        const size_t nRecord = nBytes - nOffset < nLength ? nBytes - nOffset : nLength;
        const std::string sWhy = sImplausibleHeader(p + nOffset, nRecord);
        if (!sWhy.empty()) {
            w.sStop =
                "not a MiniSEED record at byte " + std::to_string(nOffset) + " (" + sWhy + ")";
            break;
        }
        DecodedRecord& r = w.atRecords.emplace_back(tDecodeRecord(p + nOffset, nRecord));
        r.nOffset = nOffset;
        // The decoder would blame the length field; the file is what ends early.
        if (nRecord < nLength) {
            r.sError = "cut short: the file ends " + std::to_string(nRecord) + " bytes into it";
            r.anSamples.clear();
        }
        w.anSampleCounts.push_back(r.anSamples.size());
        if (!bKeepSamples) std::vector<int32_t>().swap(r.anSamples);
    }
    return w;
}

std::vector<int32_t> anDecodeSamples(const RecordWalk& w, size_t i) {
    const DecodedRecord& r = w.atRecords[i];
    if (w.anSampleCounts[i] == 0) return {};
    if (!r.anSamples.empty()) return r.anSamples;
    const size_t nLength = static_cast<size_t>(nSeedRecordLength);
    return tDecodeRecord(w.pBytes + r.nOffset, std::min(nLength, w.nBytes - r.nOffset)).anSamples;
}
