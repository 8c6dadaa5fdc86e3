// Building the bytes of a synthetic recording from its description.
#include "SyntheticRecording.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "timeconv/CalendarTime.h"

namespace {

// Appends little-endian fields to a byte buffer.
class CLittleEndianWriter {
public:
    explicit CLittleEndianWriter(uint8_t* p) : m_p(p) {}
    void vU8(uint8_t v) { *m_p++ = v; }
    void vU16(uint16_t v) {
        m_p[0] = static_cast<uint8_t>(v);
        m_p[1] = static_cast<uint8_t>(v >> 8);
        m_p += 2;
    }
    void vU32(uint32_t v) {
        for (int i = 0; i < 4; ++i) m_p[i] = static_cast<uint8_t>(v >> (8 * i));
        m_p += 4;
    }
    void vBytes(const void* pIn, size_t n) {
        std::memcpy(m_p, pIn, n);
        m_p += n;
    }

private:
    uint8_t* m_p;
};

void vPutWord(uint8_t* p, size_t nOffset, int16_t n) {
    const uint16_t u = static_cast<uint16_t>(n);
    p[nOffset] = static_cast<uint8_t>(u);
    p[nOffset + 1] = static_cast<uint8_t>(u >> 8);
}

// Calendar fields of a record header's start time.
struct RecordTime {
    int16_t nYear, nMonth, nDay, nHour, nMinute, nSecond, nSecondWord;
};

// The record header fields of t, whole seconds since 1970.
RecordTime tSplitTime(int64_t t) {
    const UtcFields tUtc = tSplitEpochSeconds(t);
    return RecordTime{static_cast<int16_t>(tUtc.nYear),
                      static_cast<int16_t>(tUtc.nMonth),
                      static_cast<int16_t>(tUtc.nDay),
                      static_cast<int16_t>(tUtc.nHour),
                      static_cast<int16_t>(tUtc.nMinute),
                      static_cast<int16_t>(tUtc.nSecond),
                      0};
}

void vWriteRecordHeader(uint8_t* p, size_t nRecord, const RecordTime& t) {
    // Ignored bytes get a pattern that differs per record, so that a reader
    // taking them for samples or times is caught.
    for (size_t i = 0; i < static_cast<size_t>(nRecorderRecordHeaderSize); ++i)
        p[i] = static_cast<uint8_t>(nRecord * 31 + i * 7 + 0x5A);
    vPutWord(p, 8, t.nDay);
    vPutWord(p, 10, t.nMonth);
    vPutWord(p, 12, t.nYear);
    vPutWord(p, 14, t.nHour);
    vPutWord(p, 16, t.nMinute);
    vPutWord(p, 18, t.nSecond);
    vPutWord(p, 20, t.nSecondWord);
}

// Copies at most nMax bytes of s to the start of acField.
void vCopyPrefix(char* acField, const std::string& s, size_t nMax) {
    std::memcpy(acField, s.data(), std::min(s.size(), nMax));
}

int64_t nSamplesPerBlock(const SyntheticRecording& tRec) {
    return std::max<int64_t>(0, int64_t{tRec.nRecordSeconds} * tRec.nRate);
}

}  // namespace

SynthSection& SynthSection::tKey(std::string sKey, std::string sValue) {
    aKeys.emplace_back(std::move(sKey), std::move(sValue));
    return *this;
}

SynthSection tChannelSection(int k, const std::string& sStat,
                             const std::optional<std::string>& osName) {
    SynthSection t{"CH" + std::to_string(k), {}};
    t.tKey("STAT", sStat);
    if (osName) t.tKey("NAME", *osName);
    return t;
}

SynthSection tGroupSection(int n, int nChannelNo, std::optional<int> onFreq, int nGain,
                           const std::string& sType, int nGroupChannels) {
    SynthSection t{"GROUP" + std::to_string(n), {}};
    t.tKey("CH#", std::to_string(nChannelNo)).tKey("TYPE", sType);
    if (onFreq) t.tKey("FREQ", std::to_string(*onFreq));
    t.tKey("N_CH", std::to_string(nGroupChannels)).tKey("GAIN", std::to_string(nGain));
    return t;
}

SynthSection tStreamSection(int m, const std::string& sType, int nRecSizeSec, int nFileSizeSec,
                            int nChannels, const std::string& sChannels) {
    SynthSection t{"STREAM" + std::to_string(m), {}};
    t.tKey("TYPE", sType)
        .tKey("REC_SIZE_SEC", std::to_string(nRecSizeSec))
        .tKey("FILE_SIZE_SEC", std::to_string(nFileSizeSec))
        .tKey("N_CH", std::to_string(nChannels))
        .tKey("CH#", sChannels);
    return t;
}

std::string sHeadText(const SyntheticRecording& tRec) {
    if (tRec.osRawHead) return *tRec.osRawHead;
    std::string s;
    for (const SynthSection& t : tRec.aSections) {
        s += "[" + t.sName + "]" + tRec.sLineEnd;
        for (const auto& [sKey, sValue] : t.aKeys) s += sKey + "=" + sValue + tRec.sLineEnd;
    }
    return s;
}

void vEncodeFixedHeader(const RecorderHeader& h, uint8_t* p) {
    CLittleEndianWriter w(p);
    w.vU16(h.nWord0);
    w.vU16(h.nWord2);
    w.vU16(static_cast<uint16_t>(h.nDataOffset));
    w.vBytes(h.abReserved6, sizeof h.abReserved6);
    w.vBytes(h.sStation, sizeof h.sStation);
    w.vU32(h.nValue78);
    w.vU32(h.nValue82);
    w.vU32(h.nValue86);
    w.vU8(h.nByte90);
    w.vU8(h.nByte91);
    w.vU8(h.nByte92);
    w.vU8(static_cast<uint8_t>(h.nStreamCount));
    for (uint16_t n : h.anWords94) w.vU16(n);
    w.vU8(static_cast<uint8_t>(h.nChannelCount));
    for (int8_t n : h.anChannelList) w.vU8(static_cast<uint8_t>(n));
    for (const RecorderUnitEntry& u : h.aUnits) {
        w.vBytes(u.abText, sizeof u.abText);
        w.vU16(u.nWord);
        w.vU8(u.nByte1);
        w.vU8(u.nByte2);
        w.vBytes(u.abTail, sizeof u.abTail);
    }
    for (int i = 0; i < nRecorderFileStreams; ++i) {
        const RecorderStream& s = h.aStreams[i];
        w.vU8(static_cast<uint8_t>(s.cType));
        w.vU8(static_cast<uint8_t>(s.nRecSizeSec));
        w.vU16(s.nFileSizeSec);
        w.vU8(s.nStreamChannels);
        w.vBytes(s.sChannels, 16);
    }
    for (const RecorderExtraEntry& x : h.aExtras) {
        w.vU16(x.nWord);
        w.vBytes(x.abBytes, sizeof x.abBytes);
        for (uint16_t n : x.anWords) w.vU16(n);
        w.vBytes(x.abTail, sizeof x.abTail);
    }
    for (int i = 0; i < nRecorderFileChannels; ++i) {
        const RecorderChannel& c = h.aChannels[i];
        w.vU8(c.bOn);
        w.vBytes(c.sName, 8);
        w.vU8(c.nByte9);
        for (uint32_t n : c.anValues) w.vU32(n);
        w.vU16(c.nWord);
    }
}

size_t nSynthRecordSize(const SyntheticRecording& tRec) {
    return static_cast<size_t>(nRecorderRecordHeaderSize) +
           2 * tRec.aBlocks.size() * static_cast<size_t>(nSamplesPerBlock(tRec));
}

void vSetStation(RecorderHeader& tHeader, std::string_view sStation) {
    std::memset(tHeader.sStation, 0, sizeof tHeader.sStation);
    std::memcpy(tHeader.sStation, sStation.data(),
                std::min(sStation.size(), sizeof tHeader.sStation));
}

uint64_t nBlockSeed(uint64_t nSeed, size_t nPosition) {
    CSignalRng rng(nSeed ^ (0xD1B54A32D192ED03ull * (nPosition + 1)));
    return rng.nNext();
}

SyntheticOutput tBuildRecording(const SyntheticRecording& tRec) {
    SyntheticOutput tOut;
    const size_t nBlocks = tRec.aBlocks.size();
    const size_t nPerBlock = static_cast<size_t>(nSamplesPerBlock(tRec));
    const size_t nRecordSize = nSynthRecordSize(tRec);
    const size_t nDataOffset = static_cast<uint16_t>(tRec.tFixed.nDataOffset);
    const size_t nFixedEnd = nRecorderFixedHeaderOffset + nRecorderFixedHeaderSize;
    const size_t nDataEnd = nDataOffset + tRec.nRecords * nRecordSize + tRec.nTrailingBytes;
    std::vector<uint8_t>& an = tOut.anFile;
    an.assign(std::max(nFixedEnd, nDataEnd), 0);

    const std::string sHead = sHeadText(tRec) + tRec.sAfterHead;
    std::memcpy(an.data(), sHead.data(),
                std::min<size_t>(sHead.size(), nRecorderFixedHeaderOffset));
    vEncodeFixedHeader(tRec.tFixed, an.data() + nRecorderFixedHeaderOffset);

    // Record times: the first as given, the later ones from its EpochTime.
    const RecordTime tFirst{tRec.nYear,   tRec.nMonth,  tRec.nDay,       tRec.nHour,
                            tRec.nMinute, tRec.nSecond, tRec.nSecondWord};
    uint8_t acProbe[nRecorderRecordHeaderSize] = {};
    vWriteRecordHeader(acProbe, 0, tFirst);
    EpochTime tStart = 0.0;
    const bool bTimeValid = bReadRecordTime(acProbe, tStart);

    tOut.aanSamples.resize(nBlocks);
    for (size_t b = 0; b < nBlocks; ++b) {
        tOut.aanSamples[b] = anGenerateSignal(tRec.aBlocks[b].eKind, tRec.aBlocks[b].nSeed,
                                              tRec.nRecords * nPerBlock, tRec.nRate);
    }
    for (size_t r = 0; r < tRec.nRecords; ++r) {
        uint8_t* pRecord = an.data() + nDataOffset + r * nRecordSize;
        RecordTime tTime = tFirst;
        if (r > 0 && bTimeValid) {
            int64_t t =
                static_cast<int64_t>(tStart) + static_cast<int64_t>(r) * tRec.nRecordSeconds;
            if (tRec.nJumpRecord > 0 && r >= tRec.nJumpRecord) t += tRec.nJumpSeconds;
            tTime = tSplitTime(std::max<int64_t>(t, 0));
        }
        vWriteRecordHeader(pRecord, r, tTime);
        uint8_t* pSample = pRecord + nRecorderRecordHeaderSize;
        for (size_t b = 0; b < nBlocks; ++b) {
            const uint16_t* pFrom = tOut.aanSamples[b].data() + r * nPerBlock;
            for (size_t j = 0; j < nPerBlock; ++j) {
                *pSample++ = static_cast<uint8_t>(pFrom[j]);
                *pSample++ = static_cast<uint8_t>(pFrom[j] >> 8);
            }
        }
    }
    uint8_t* pTrailing = an.data() + nDataOffset + tRec.nRecords * nRecordSize;
    for (size_t i = 0; i < tRec.nTrailingBytes; ++i)
        pTrailing[i] = static_cast<uint8_t>(i * 13 + 0xC3);
    if (tRec.onFileSize) an.resize(*tRec.onFileSize, 0);
    return tOut;
}

bool bWriteBytes(const std::string& sPath, const std::vector<uint8_t>& anBytes,
                 std::string& sError) {
    std::FILE* pFile = std::fopen(sPath.c_str(), "wb");
    if (pFile == nullptr) {
        sError = std::strerror(errno);
        return false;
    }
    const size_t nWritten = std::fwrite(anBytes.data(), 1, anBytes.size(), pFile);
    const int nWriteErrno = errno;
    const bool bClosed = std::fclose(pFile) == 0;
    if (nWritten != anBytes.size() || !bClosed) {
        sError = std::strerror(nWritten != anBytes.size() ? nWriteErrno : errno);
        return false;
    }
    return true;
}

SyntheticRecording tStandardRecording(const StandardLayout& tLayout) {
    SyntheticRecording tRec;
    const int nChannels = static_cast<int>(tLayout.asChannels.size());
    for (int k = 1; k <= nChannels; ++k)
        tRec.aSections.push_back(tChannelSection(k, "ON", tLayout.asChannels[k - 1]));
    for (int n = 1; n <= nChannels; ++n)
        tRec.aSections.push_back(tGroupSection(n, n, tLayout.nRate, 1, "SEISMIC", 1));
    std::string sList;
    for (int k = 1; k <= nChannels; ++k) {
        if (k > 1) sList += ',';
        sList += std::to_string(k);
    }
    tRec.aSections.push_back(
        tStreamSection(1, "PERMANENT", tLayout.nRecordSeconds, 3600, nChannels, sList));

    vSetStation(tRec.tFixed, tLayout.sStation);
    tRec.tFixed.nDataOffset = nDefaultDataOffset;
    tRec.tFixed.nStreamCount = 1;
    tRec.tFixed.nChannelCount = static_cast<int8_t>(nChannels);
    for (int i = 0; i < nRecorderChannelListLength; ++i)
        tRec.tFixed.anChannelList[i] = static_cast<int8_t>(i < nChannels ? i : 0);

    tRec.nRate = tLayout.nRate;
    tRec.nRecordSeconds = tLayout.nRecordSeconds;
    tRec.nRecords = tLayout.nRecords;
    // The fixed header's own tables mirror the sections, as a recorder's do.
    for (int k = 0; k < nChannels && k < nRecorderFileChannels; ++k) {
        tRec.tFixed.aChannels[k].bOn = 1;
        vCopyPrefix(tRec.tFixed.aChannels[k].sName, tLayout.asChannels[k], 8);
    }
    tRec.tFixed.aStreams[0].cType = 'P';
    tRec.tFixed.aStreams[0].nRecSizeSec = static_cast<int8_t>(tLayout.nRecordSeconds);
    tRec.tFixed.aStreams[0].nFileSizeSec = 3600;
    tRec.tFixed.aStreams[0].nStreamChannels = static_cast<uint8_t>(nChannels);
    vCopyPrefix(tRec.tFixed.aStreams[0].sChannels, sList, 16);

    for (int p = 0; p < nChannels; ++p) {
        const size_t nPosition = static_cast<size_t>(p);
        const SignalKind eKind = tLayout.aeSignals.empty()
                                     ? SignalKind::RecorderLike
                                     : tLayout.aeSignals[nPosition % tLayout.aeSignals.size()];
        tRec.aBlocks.push_back(SynthSignal{eKind, nBlockSeed(tLayout.nSeed, nPosition)});
    }
    return tRec;
}
