// Decoding of the fixed header and of record header start times from the
// file image. Every multi-byte field is assembled from its little-endian
// bytes, so the result does not depend on the host's byte order.
#include "recorder/RecorderHeader.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "recorder/LittleEndian.h"

namespace {

// Reads consecutive little-endian fields from a byte buffer.
class CLittleEndianCursor {
public:
    explicit CLittleEndianCursor(const uint8_t* p) : m_p(p) {}
    uint8_t nU8() { return *m_p++; }
    int8_t nI8() { return static_cast<int8_t>(nU8()); }
    uint16_t nU16() {
        const uint16_t v = nReadLe16(m_p);
        m_p += 2;
        return v;
    }
    int16_t nI16() { return static_cast<int16_t>(nU16()); }
    uint32_t nU32() {
        const uint32_t v = nReadLe32(m_p);
        m_p += 4;
        return v;
    }
    void vBytes(void* pOut, size_t n) {
        std::memcpy(pOut, m_p, n);
        m_p += n;
    }

private:
    const uint8_t* m_p;
};

int16_t nWordAt(const uint8_t* p, size_t nOffset) {
    return static_cast<int16_t>(nReadLe16(p + nOffset));
}

// Fills tHeader from the 1025 bytes at p; the in-memory tables beyond what
// the file stores are cleared.
void vDecodeFixedHeader(const uint8_t* p, RecorderHeader& tHeader) {
    tHeader = RecorderHeader{};
    CLittleEndianCursor c(p);
    tHeader.nWord0 = c.nU16();
    tHeader.nWord2 = c.nU16();
    tHeader.nDataOffset = c.nI16();
    c.vBytes(tHeader.abReserved6, sizeof tHeader.abReserved6);
    c.vBytes(tHeader.sStation, sizeof tHeader.sStation);
    tHeader.nValue78 = c.nU32();
    tHeader.nValue82 = c.nU32();
    tHeader.nValue86 = c.nU32();
    tHeader.nByte90 = c.nU8();
    tHeader.nByte91 = c.nU8();
    tHeader.nByte92 = c.nU8();
    tHeader.nStreamCount = c.nI8();
    for (uint16_t& n : tHeader.anWords94) n = c.nU16();
    tHeader.nChannelCount = c.nI8();
    for (int8_t& n : tHeader.anChannelList) n = c.nI8();
    for (RecorderUnitEntry& u : tHeader.aUnits) {
        c.vBytes(u.abText, sizeof u.abText);
        u.nWord = c.nU16();
        u.nByte1 = c.nU8();
        u.nByte2 = c.nU8();
        c.vBytes(u.abTail, sizeof u.abTail);
    }
    for (int i = 0; i < nRecorderFileStreams; ++i) {
        RecorderStream& s = tHeader.aStreams[i];
        s.cType = static_cast<char>(c.nU8());
        s.nRecSizeSec = c.nI8();
        s.nFileSizeSec = c.nU16();
        s.nStreamChannels = c.nU8();
        c.vBytes(s.sChannels, 16);
    }
    for (RecorderExtraEntry& x : tHeader.aExtras) {
        x.nWord = c.nU16();
        c.vBytes(x.abBytes, sizeof x.abBytes);
        for (uint16_t& n : x.anWords) n = c.nU16();
        c.vBytes(x.abTail, sizeof x.abTail);
    }
    for (int i = 0; i < nRecorderFileChannels; ++i) {
        RecorderChannel& ch = tHeader.aChannels[i];
        ch.bOn = c.nU8();
        c.vBytes(ch.sName, 8);
        ch.nByte9 = c.nU8();
        for (uint32_t& n : ch.anValues) n = c.nU32();
        ch.nWord = c.nU16();
    }
}

// The time the calendar words of a record header add up to, whatever their
// ranges (NaN for a month outside 0..12). The word at 20 counts whole
// seconds: it is added to the second as an integer, and only the sum becomes
// the float the conversion takes.
EpochTime tSumRecordTime(const uint8_t* pRecordHeader) {
    const int32_t nSeconds = int32_t{nWordAt(pRecordHeader, 18)} + nWordAt(pRecordHeader, 20);
    return dCalendarToEpoch(nWordAt(pRecordHeader, 12), nWordAt(pRecordHeader, 10),
                            nWordAt(pRecordHeader, 8), nWordAt(pRecordHeader, 14),
                            nWordAt(pRecordHeader, 16), static_cast<float>(nSeconds));
}

}  // namespace

std::string sStationName(const RecorderHeader& tHeader) {
    const size_t nLength = strnlen(tHeader.sStation, sizeof tHeader.sStation);
    return std::string(tHeader.sStation, nLength);
}

bool bReadRecordTime(const uint8_t* pRecordHeader, EpochTime& t) {
    const int16_t nMonth = nWordAt(pRecordHeader, 10);
    const int16_t nYear = nWordAt(pRecordHeader, 12);
    if (nYear < 1970 || nYear > 9999 || nMonth < 0 || nMonth > 12) return false;
    const EpochTime tStart = tSumRecordTime(pRecordHeader);
    // Day, hour, minute and seconds beyond their ranges add up: the sum may
    // still fall before 1970, or after the last second the output can hold.
    if (!(tStart >= 0.0) || tStart > tLastCalendarSecond) return false;
    t = tStart;
    return true;
}

EpochTime tReadRecorderHeader(const uint8_t* pFile, size_t nFileSize, RecorderHeader& tHeader,
                              std::string& sError) {
    constexpr double dRefused = std::numeric_limits<double>::quiet_NaN();
    constexpr size_t nFixedEnd = nRecorderFixedHeaderOffset + nRecorderFixedHeaderSize;
    if (nFileSize < nFixedEnd) {
        sError = "too short for a recording: " + std::to_string(nFileSize) +
                 " bytes, the fixed header alone needs " + std::to_string(nFixedEnd);
        return dRefused;
    }
    vDecodeFixedHeader(pFile + nRecorderFixedHeaderOffset, tHeader);

    // The offset is a signed 16-bit field; 32768 and more read as negative.
    if (tHeader.nDataOffset < 0) {
        sError = "data offset " + std::to_string(static_cast<uint16_t>(tHeader.nDataOffset)) +
                 " is 32768 or more (negative as a signed 16-bit value)";
        return dRefused;
    }
    // An offset inside the text head or the fixed header is not refused: the
    // first record may share bytes with the end of the fixed header, and the
    // start time check below catches a record header that is not one.
    const size_t nDataOffset = static_cast<size_t>(tHeader.nDataOffset);
    if (nFileSize < nDataOffset + nRecorderRecordHeaderSize) {
        sError = "too short for the first record header: " + std::to_string(nFileSize) +
                 " bytes, the record at data offset " + std::to_string(nDataOffset) + " needs " +
                 std::to_string(nDataOffset + nRecorderRecordHeaderSize);
        return dRefused;
    }

    const uint8_t* pRecord = pFile + nDataOffset;
    EpochTime tStart = 0.0;
    if (!bReadRecordTime(pRecord, tStart)) {
        const int nYear = nWordAt(pRecord, 12);
        const int nMonth = nWordAt(pRecord, 10);
        if (nYear < 1970 || nYear > 9999) {
            sError = "the first record's start time has the year " + std::to_string(nYear) +
                     ", outside 1970 to 9999";
        } else if (nMonth < 0 || nMonth > 12) {
            sError = "the first record's start time has the month " + std::to_string(nMonth) +
                     ", outside 0 to 12";
        } else if (tSumRecordTime(pRecord) > tLastCalendarSecond) {
            sError = "the first record's start time lies after 9999-12-31 23:59:59";
        } else {
            sError = "the first record's start time lies before 1970-01-01";
        }
        return dRefused;
    }
    return tStart;
}
