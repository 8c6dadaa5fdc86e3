// Runs into one output at the same time take turns: whatever their number
// and order, the file ends as a concatenation of each run's solo output,
// and a run that is interrupted or fails among them cuts nothing of the
// others'.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <map>
#include <string>
#include <vector>

#include "support/ConversionTestSupport.h"
#include "support/Process.h"

namespace {

constexpr int nRuns = 8;

// Recording i of the batch: station Si, its own length, rate and signal.
std::string sRecording(int i) {
    return std::string("r").append(std::to_string(i)).append(".vrx");
}
std::string sStation(int i) {
    return std::string("S").append(std::to_string(i));
}

class ConcurrentRuns : public testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < nRuns; ++i) {
            StandardLayout t;
            t.sStation = sStation(i);
            t.nRate = i % 2 ? 100 : 50;
            t.nRecords = 40 + 25 * static_cast<size_t>(i);
            t.nSeed = static_cast<uint64_t>(i + 1);
            t.aeSignals = {i % 3 ? SignalKind::RecorderLike : SignalKind::WhiteNoise};
            aanWriteRecording(m_tDir, sRecording(i), tStandardRecording(t));
            const std::string sSolo =
                std::string("solo").append(std::to_string(i)).append(".mseed");
            ASSERT_EQ(tRunTessal({sRecording(i), "-outname=" + sSolo}, m_tDir.sPath()).nExitStatus,
                      0);
            m_mapSolo[sStation(i)] = sReadFile(m_tDir.sFile(sSolo));
        }
    }

    // Starts the nRuns conversions into all.mseed at once.
    std::vector<BackgroundRun> atStartAll() {
        std::vector<BackgroundRun> at;
        for (int i = 0; i < nRuns; ++i)
            at.push_back(
                tStartTessal({sRecording(i), "-outname=all.mseed"}, m_tDir.sPath(), sErrFile(i)));
        return at;
    }

    // Waits for the runs: each ends with 0 and says nothing but, perhaps,
    // that it waited. Returns how many said so.
    int nFinishAll(std::vector<BackgroundRun>& at) {
        int nWaited = 0;
        for (int i = 0; i < nRuns; ++i) {
            const ProcessResult r = tFinish(at[static_cast<size_t>(i)]);
            EXPECT_EQ(r.nExitStatus, 0) << "run " << i;
            const std::string sErr = sReadFile(sErrFile(i));
            const std::string sWaiting =
                "tessal: warning: all.mseed: waiting for another run that is writing this file\n";
            EXPECT_TRUE(sErr.empty() || sErr == sWaiting) << sErr;
            nWaited += sErr == sWaiting;
        }
        return nWaited;
    }

    // Checks that all.mseed is sOld followed by every solo output once, each
    // whole, in any order.
    void vExpectConcatenation(const std::string& sOld) {
        const std::string sAll = sReadFile(m_tDir.sFile("all.mseed"));
        ASSERT_EQ(sAll.compare(0, sOld.size(), sOld), 0) << "the earlier content changed";
        std::map<std::string, std::string> mapLeft = m_mapSolo;
        for (size_t k = sOld.size(); k < sAll.size();) {
            ASSERT_GE(sAll.size() - k, 512u) << "a cut record at " << k;
            std::string sStationField = sAll.substr(k + 8, 5);
            sStationField.erase(sStationField.find_last_not_of(' ') + 1);
            const auto it = mapLeft.find(sStationField);
            ASSERT_NE(it, mapLeft.end())
                << "unexpected or repeated records of " << sStationField << " at " << k;
            ASSERT_EQ(sAll.compare(k, it->second.size(), it->second), 0)
                << sStationField << "'s records are not whole and contiguous at " << k;
            k += it->second.size();
            mapLeft.erase(it);
        }
        EXPECT_TRUE(mapLeft.empty()) << mapLeft.size() << " runs' records are missing";
    }

    std::string sErrFile(int i) const {
        return m_tDir.sFile(std::string("err").append(std::to_string(i)));
    }

    TempDir m_tDir;
    std::map<std::string, std::string> m_mapSolo;  // station -> solo output
};

TEST_F(ConcurrentRuns, RunsStartedTogetherTakeTurns) {
    for (int nRound = 0; nRound < 3; ++nRound) {
        SCOPED_TRACE("round " + std::to_string(nRound));
        unlink(m_tDir.sFile("all.mseed").c_str());
        std::vector<BackgroundRun> at = atStartAll();
        nFinishAll(at);
        vExpectConcatenation("");
    }
}

TEST_F(ConcurrentRuns, AnInterruptedRunThatCreatedTheFileRemovesNothingOfTheOthers) {
    // 3 x 1,000,000 samples of noise: far more console text than the pipe
    // holds, so the run blocks mid-way, holding the lock, with records out.
    StandardLayout t;
    t.sStation = "STOP";
    t.nRecordSeconds = 10;
    t.nRecords = 1000;
    t.aeSignals = {SignalKind::WhiteNoise};
    aanWriteRecording(m_tDir, "stop.vrx", tStandardRecording(t));
    BackgroundRun tStop =
        tStartTessal({"stop.vrx", "-outname=all.mseed"}, m_tDir.sPath(), m_tDir.sFile("errstop"));
    struct stat st {};
    for (int i = 0; i < 2000 && st.st_size < 8192; ++i) {
        usleep(10000);
        stat(m_tDir.sFile("all.mseed").c_str(), &st);
    }
    ASSERT_GE(st.st_size, 8192) << "the blocked run wrote no records";

    // The others wait behind it (long enough to say so), then it is stopped:
    // it removes the file it created, and they must start afresh.
    std::vector<BackgroundRun> at = atStartAll();
    usleep(1500 * 1000);
    kill(tStop.nPid, SIGTERM);
    EXPECT_EQ(tFinish(tStop).nSignal, SIGTERM);
    EXPECT_GT(nFinishAll(at), 0) << "no run said it was waiting";
    vExpectConcatenation("");
}

TEST_F(ConcurrentRuns, AFailingRunAmongThemCutsNothingOfTheOthers) {
    // The earlier content is another station's records (a station of the
    // batch again would be warned about as converted before); the failing
    // run may write only a few records past it before its file size limit
    // stops it.
    StandardLayout tOld;
    tOld.sStation = "OLD";
    aanWriteRecording(m_tDir, "old.vrx", tStandardRecording(tOld));
    ASSERT_EQ(tRunTessal({"old.vrx", "-outname=all.mseed"}, m_tDir.sPath()).nExitStatus, 0);
    const std::string sOld = sReadFile(m_tDir.sFile("all.mseed"));
    StandardLayout t;
    t.sStation = "FAIL";
    t.nRecords = 600;
    aanWriteRecording(m_tDir, "fail.vrx", tStandardRecording(t));
    const rlim_t nLimit = sOld.size() + 10 * 512;
    BackgroundRun tFail = tStartTessal({"fail.vrx", "-outname=all.mseed"}, m_tDir.sPath(),
                                       m_tDir.sFile("errfail"), [nLimit] {
                                           struct rlimit tLimit = {nLimit, nLimit};
                                           setrlimit(RLIMIT_FSIZE, &tLimit);
                                       });
    std::vector<BackgroundRun> at = atStartAll();
    EXPECT_EQ(tFinish(tFail).nExitStatus, 3);
    EXPECT_NE(sReadFile(m_tDir.sFile("errfail")).find("File too large; the file is left as it was"),
              std::string::npos);
    nFinishAll(at);
    vExpectConcatenation(sOld);
}

}  // namespace
