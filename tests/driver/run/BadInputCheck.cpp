// Bad-input harness: the base recording, the damage helpers and the checked
// run of the built program.
#include "BadInputCheck.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "mseed/Steim2Decoder.h"
#include "support/TempDir.h"

namespace {

constexpr unsigned nTimeLimitSeconds = 20;  // wall clock (alarm) and CPU
constexpr long long nMemoryAllowance = 64LL << 20;
constexpr size_t nPreexistingRecords = 3;
const char* const szInput = "rec.vrx";
const char* const szOutput = "rec.mseed";

std::vector<std::string> asLines(const std::string& sText) {
    std::vector<std::string> as;
    std::istringstream in(sText);
    for (std::string s; std::getline(in, s);) as.push_back(s);
    return as;
}

// The limits a damaged run gets: a hang ends in SIGALRM or SIGXCPU, which
// the checks report as a signal.
void vLimitChild() {
    struct rlimit tCpu = {nTimeLimitSeconds, nTimeLimitSeconds + 1};
    setrlimit(RLIMIT_CPU, &tCpu);
    alarm(nTimeLimitSeconds);
}

// The child's peak includes this process's pages at the fork (see
// ProcessResult), so our own peak is added to the allowance.
long long nMemoryBound(size_t nInputSize) {
    struct rusage tSelf {};
    getrusage(RUSAGE_SELF, &tSelf);
    return static_cast<long long>(nInputSize) + nMemoryAllowance +
           static_cast<long long>(tSelf.ru_maxrss) * 1024;
}

// The old content of the output: the first records of the base conversion.
const std::string& sPreexistingOutput() {
    static const std::string s = sBaseConversion().substr(0, nPreexistingRecords * 512);
    return s;
}

void vCheckProcess(const ProcessResult& r, size_t nInputSize) {
    EXPECT_EQ(r.nSignal, 0) << "killed by signal " << r.nSignal << "; stderr:\n" << r.sStderr;
    for (const char* szReport : {"runtime error", "AddressSanitizer", "LeakSanitizer"})
        EXPECT_EQ(r.sStderr.find(szReport), std::string::npos) << r.sStderr;
    EXPECT_LE(r.nPeakRssBytes, nMemoryBound(nInputSize));
    EXPECT_EQ(r.sStdout.find("tessal: "), std::string::npos) << "diagnostic on standard output";
    // One line per diagnostic, printable ASCII only: no byte that breaks or
    // garbles a line, no part of a character cut from a name.
    const auto bControl = [](char c) {
        return c != '\n' &&
               (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F);
    };
    EXPECT_TRUE(std::none_of(r.sStderr.begin(), r.sStderr.end(), bControl)) << r.sStderr;
}

void vCheckRefusal(const BadInputRun& t) {
    const std::string& sErr = t.tProcess.sStderr;
    EXPECT_EQ(std::count(sErr.begin(), sErr.end(), '\n'), 1) << sErr;
    EXPECT_EQ(sErr.rfind(std::string("tessal: error: ") + szInput + ": ", 0), 0u) << sErr;
    EXPECT_TRUE(!sErr.empty() && sErr.back() == '\n') << sErr;
    EXPECT_EQ(t.sAppended.size(), 0u) << "a refused run appended to the output";
}

void vCheckSuccess(const BadInputRun& t) {
    for (const std::string& s : asLines(t.tProcess.sStderr))
        EXPECT_EQ(s.rfind("tessal: warning: ", 0), 0u) << "not a warning: " << s;
    const auto* p = reinterpret_cast<const uint8_t*>(t.sAppended.data());
    for (const std::string& s : asCheckOutput(t.tExpected, p, t.sAppended.size()))
        ADD_FAILURE() << "output differs from the oracle: " << s;
}

}  // namespace

SyntheticRecording tBaseRecording() {
    StandardLayout t;
    t.sStation = "FIELD";
    t.asChannels = {"BHZ", "BHN", "BHE"};
    t.nRecords = nBaseRecords;
    t.nSeed = 7;
    return tStandardRecording(t);
}

std::vector<uint8_t> anImage(const SyntheticRecording& tRec) {
    return tBuildRecording(tRec).anFile;
}

const std::string& sBaseConversion() {
    static const std::string s = [] {
        TempDir tDir;
        std::string sError;
        EXPECT_TRUE(bWriteBytes(tDir.sFile(szInput), anImage(tBaseRecording()), sError)) << sError;
        const ProcessResult r = tRunTessal({szInput}, tDir.sPath(), vLimitChild);
        EXPECT_EQ(r.nExitStatus, 0) << r.sStderr;
        EXPECT_EQ(r.sStderr, "");
        return sReadFile(tDir.sFile(szOutput));
    }();
    return s;
}

void vPutInt16(std::vector<uint8_t>& an, size_t nOffset, int32_t nValue) {
    an.at(nOffset) = static_cast<uint8_t>(nValue);
    an.at(nOffset + 1) = static_cast<uint8_t>(nValue >> 8);
}

void vPutInt8(std::vector<uint8_t>& an, size_t nOffset, int32_t nValue) {
    an.at(nOffset) = static_cast<uint8_t>(nValue);
}

SynthSection& tSection(SyntheticRecording& tRec, const std::string& sName) {
    for (SynthSection& t : tRec.aSections)
        if (t.sName == sName) return t;
    ADD_FAILURE() << "no section " << sName;
    static SynthSection tDummy;
    return tDummy;
}

void vSetKey(SyntheticRecording& tRec, const std::string& sName, const std::string& sKey,
             const std::string& sValue) {
    SynthSection& t = tSection(tRec, sName);
    for (auto& [sHave, sOld] : t.aKeys) {
        if (sHave == sKey) {
            sOld = sValue;
            return;
        }
    }
    t.tKey(sKey, sValue);
}

BadInputRun tRunDamaged(const std::vector<uint8_t>& anImageBytes, const std::string& sCase) {
    SCOPED_TRACE(sCase);
    BadInputRun t;
    t.tExpected = tOracleConversion(anImageBytes.data(), anImageBytes.size());
    const std::string& sOld = sPreexistingOutput();
    TempDir tDir;
    std::string sError;
    EXPECT_TRUE(bWriteBytes(tDir.sFile(szInput), anImageBytes, sError)) << sError;
    vWriteFile(tDir.sFile(szOutput), sOld);

    t.tProcess = tRunTessal({szInput}, tDir.sPath(), vLimitChild);
    vCheckProcess(t.tProcess, anImageBytes.size());

    const std::string sNow = sReadFile(tDir.sFile(szOutput));
    EXPECT_TRUE(sNow.size() >= sOld.size() && sNow.compare(0, sOld.size(), sOld) == 0)
        << "the output's old bytes changed";
    if (sNow.size() > sOld.size()) t.sAppended = sNow.substr(sOld.size());
    for (const std::string& s : asLines(t.tProcess.sStderr))
        if (s.rfind("tessal: warning: ", 0) == 0) t.asWarnings.push_back(s);

    const int nExpectedStatus = t.tExpected.bAccepted ? 0 : 1;
    EXPECT_EQ(t.tProcess.nExitStatus, nExpectedStatus) << t.tProcess.sStderr;
    if (t.tProcess.nExitStatus == 0)
        vCheckSuccess(t);
    else
        vCheckRefusal(t);
    return t;
}

std::vector<ChannelSummary> atSummarise(const std::string& sOutput) {
    std::vector<ChannelSummary> at;
    for (const DecodedRecord& r : atDecodeRecords(sOutput.data(), sOutput.size())) {
        if (at.empty() || r.nSequenceNumber == 1) at.push_back({r.sChannel, 0});
        at.back().nSamples += r.anSamples.size();
    }
    return at;
}

bool bAnyLineHas(const std::vector<std::string>& asLines, const std::string& sText) {
    return std::any_of(asLines.begin(), asLines.end(),
                       [&](const std::string& s) { return s.find(sText) != std::string::npos; });
}
