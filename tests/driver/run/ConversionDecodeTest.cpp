// The program's output read back by our own decoder: every channel's
// samples in order, its names, record numbering and record start times.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "mseed/Steim2Decoder.h"
#include "support/ConversionTestSupport.h"
#include "support/Process.h"

namespace {

// One channel as the output holds it.
struct DecodedChannel {
    std::string sStation, sChannel;
    std::vector<int32_t> anSamples;
};

// Decodes the file and splits it into channels where the numbering restarts;
// checks every record and the numbering and timing within each channel.
std::vector<DecodedChannel> atDecodeChannels(const std::string& sBytes, EpochTime tStart,
                                             double dRate) {
    std::vector<DecodedChannel> at;
    int32_t nExpectedSequence = 1;
    for (const DecodedRecord& r : atDecodeRecords(sBytes.data(), sBytes.size())) {
        EXPECT_EQ(r.sError, "") << "record at " << r.nOffset;
        if (r.nSequenceNumber == 1) {
            at.push_back({r.sStation, r.sChannel, {}});
            nExpectedSequence = 1;
        }
        EXPECT_FALSE(at.empty());
        if (at.empty()) break;
        DecodedChannel& c = at.back();
        EXPECT_EQ(r.nSequenceNumber, nExpectedSequence++);
        EXPECT_EQ(r.sChannel, c.sChannel);
        EXPECT_EQ(dRecordRate(r), dRate);
        const EpochTime tExpected = tStart + static_cast<double>(c.anSamples.size()) / dRate;
        EXPECT_LE(std::fabs(tRecordStart(r) - tExpected), 1.0e-4) << "record at " << r.nOffset;
        c.anSamples.insert(c.anSamples.end(), r.anSamples.begin(), r.anSamples.end());
    }
    return at;
}

std::vector<int32_t> anWiden(const std::vector<uint16_t>& an) {
    return {an.begin(), an.end()};
}

TEST(ConversionDecode, TwoChannelsOf656ByteRecordsWithTrailingBytes) {
    // N = 2, R = 1, 100 sps: records of 656 bytes; 3 records and 32 bytes more
    // make a data area of 2000 bytes. Position 0 alternates FF FF and 00 00.
    StandardLayout t;
    t.asChannels = {"BHZ", "HHE"};
    t.nRecords = 3;
    t.aeSignals = {SignalKind::Extremes, SignalKind::RecorderLike};
    SyntheticRecording tRec = tStandardRecording(t);
    tRec.nTrailingBytes = 32;
    TempDir tDir;
    const auto aanExpected = aanWriteRecording(tDir, "rec.vrx", tRec);
    const ProcessResult r = tRunTessal({"rec.vrx"}, tDir.sPath());
    ASSERT_EQ(r.nExitStatus, 0) << r.sStderr;
    EXPECT_NE(r.sStderr.find("rec.vrx: the recording ends inside record 4 (32 of its 656 bytes "
                             "are there): it may have been cut short, or copied while it was "
                             "still being written; the 3 whole records before it are converted"),
              std::string::npos)
        << r.sStderr;

    const auto at = atDecodeChannels(sReadFile(tDir.sFile("rec.mseed")), 1102427130.0, 100.0);
    ASSERT_EQ(at.size(), 2u);
    EXPECT_EQ(at[0].sStation, "DEMO");
    EXPECT_EQ(at[0].sChannel, "BHZ");
    EXPECT_EQ(at[1].sChannel, "HHE");
    ASSERT_EQ(at[0].anSamples.size(), 300u);
    EXPECT_EQ(at[0].anSamples[1], 65535);  // FF FF widened without sign
    EXPECT_EQ(at[0].anSamples, anWiden(aanExpected[0]));
    EXPECT_EQ(at[1].anSamples, anWiden(aanExpected[1]));
}

TEST(ConversionDecode, ListPositionsNotChannelNumbersLocateTheBlocks) {
    // Position 0 holds channel CH2 (BBB), position 1 channel CH1 (AAA).
    StandardLayout t;
    t.asChannels = {"AAA", "BBB"};
    t.nRecords = 40;
    t.aeSignals = {SignalKind::Sine, SignalKind::WhiteNoise};
    SyntheticRecording tRec = tStandardRecording(t);
    tRec.tFixed.anChannelList[0] = 1;
    tRec.tFixed.anChannelList[1] = 0;
    TempDir tDir;
    const auto aanExpected = aanWriteRecording(tDir, "rec.vrx", tRec);
    ASSERT_EQ(tRunTessal({"rec.vrx"}, tDir.sPath()).nExitStatus, 0);
    const auto at = atDecodeChannels(sReadFile(tDir.sFile("rec.mseed")), 1102427130.0, 100.0);
    ASSERT_EQ(at.size(), 2u);
    EXPECT_EQ(at[0].sChannel, "BBB");
    EXPECT_EQ(at[0].anSamples, anWiden(aanExpected[0]));
    EXPECT_EQ(at[1].sChannel, "AAA");
    EXPECT_EQ(at[1].anSamples, anWiden(aanExpected[1]));
}

TEST(ConversionDecode, LongRecordingOfThreeChannelsRoundTrips) {
    // 20 minutes at 100 sps in 10-second records: 120000 samples a channel,
    // many segments of 10000, every signal kind of the recorder.
    StandardLayout t;
    t.nRecordSeconds = 10;
    t.nRecords = 120;
    t.aeSignals = {SignalKind::RecorderLike, SignalKind::WhiteNoise, SignalKind::Constant};
    TempDir tDir;
    const auto aanExpected = aanWriteRecording(tDir, "day.vrx", tStandardRecording(t));
    const auto tRun = [&](const char* szThreads, const std::string& sOut,
                          const char* szZone = nullptr) {
        return tRunTessal({"day.vrx", "-outname=" + sOut}, tDir.sPath(), [szThreads, szZone] {
            setenv("TESSAL_THREADS", szThreads, 1);
            if (szZone != nullptr) {
                setenv("TZ", szZone, 1);
                setenv("LC_ALL", "de_DE.UTF-8", 1);
            }
        });
    };
    const ProcessResult rSerial = tRun("1", "serial.mseed");
    ASSERT_EQ(rSerial.nExitStatus, 0);
    const std::string sSerial = sReadFile(tDir.sFile("serial.mseed"));
    const auto at = atDecodeChannels(sSerial, 1102427130.0, 100.0);
    ASSERT_EQ(at.size(), 3u);
    for (size_t p = 0; p < 3; ++p) {
        EXPECT_EQ(at[p].anSamples.size(), 120000u);
        EXPECT_EQ(at[p].anSamples, anWiden(aanExpected[p])) << "position " << p;
    }
    // Encoding on worker threads changes no byte and no console line, nor
    // do the time zone and the locale.
    const struct {
        const char* szThreads;
        const char* szZone;
    } aRows[] = {
        {"2", nullptr}, {"5", nullptr}, {"1", "Asia/Kathmandu"}, {"2", "America/St_Johns"}};
    for (const auto& row : aRows) {
        const std::string sOut =
            std::string("t") + row.szThreads + (row.szZone ? "z" : "") + ".mseed";
        const ProcessResult r = tRun(row.szThreads, sOut, row.szZone);
        EXPECT_EQ(r.nExitStatus, 0);
        EXPECT_TRUE(r.sStdout == rSerial.sStdout) << row.szThreads << " threads";
        EXPECT_TRUE(sReadFile(tDir.sFile(sOut)) == sSerial) << row.szThreads << " threads";
    }
}

}  // namespace
