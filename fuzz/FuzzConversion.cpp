// Fuzz target: the whole conversion of one input file, from the header
// reader to the bytes appended to the output. Each input is written to a
// scratch file and converted onto an output that already holds some bytes;
// the run must end with 0 and append exactly the records the conversion
// oracle works out (decoded back by our decoder), or, for a file the oracle
// says is refused, end with 1 and leave the output as it was.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ConversionOracle.h"
#include "driver/cli/CommandLine.h"
#include "driver/process/ExitStatus.h"
#include "driver/run/ConversionRun.h"

// Present only in sanitizer builds: where the sanitizers write their reports.
extern "C" void __sanitizer_set_report_fd(void* pFd) __attribute__((weak));

namespace {

// Bytes the output holds before every run; they must survive it. They begin
// like a MiniSEED record, since nothing else is appended to.
const std::string sOldOutput = "000001D an earlier run's bytes, not a whole record\n";

// A scratch directory for the input and output files, removed at exit.
class ScratchDir {
public:
    ScratchDir() {
        const char* szTmp = std::getenv("TMPDIR");
        std::string sTemplate =
            std::string(szTmp && *szTmp ? szTmp : "/tmp") + "/tessal-fuzz-XXXXXX";
        if (mkdtemp(sTemplate.data()) == nullptr) std::abort();
        m_sPath = sTemplate;
    }
    ~ScratchDir() {
        unlink(sFile("in.vrx").c_str());
        unlink(sFile("out.mseed").c_str());
        rmdir(m_sPath.c_str());
    }
    std::string sFile(const char* szName) const { return m_sPath + "/" + szName; }

private:
    std::string m_sPath;
};

void vWrite(const std::string& sPath, const void* p, size_t n) {
    FILE* f = std::fopen(sPath.c_str(), "wb");
    if (f == nullptr || std::fwrite(p, 1, n, f) != n || std::fclose(f) != 0) std::abort();
}

std::string sRead(const std::string& sPath) {
    std::ifstream in(sPath, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs the conversion with its progress lines and diagnostics sent to
// /dev/null; sanitizer reports still reach the real standard error.
int nQuietConversion(const CommandLine& tArgs, const std::string& sInput,
                     const std::string& sOutput) {
    static const int nStderr = dup(2);
    static const int nNull = open("/dev/null", O_WRONLY);
    static FILE* pQuiet = std::freopen("/dev/null", "w", stdout);
    (void)pQuiet;
    if (__sanitizer_set_report_fd)
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(nStderr)));
    std::fflush(stderr);
    dup2(nNull, 2);
    RecordingSummary tSummary;
    const int nStatus = nRunConversion(tArgs, sInput, sOutput, tSummary);
    std::fflush(stderr);
    dup2(nStderr, 2);
    return nStatus;
}

// Reports a wrong outcome and stops, so the fuzzer keeps the input.
[[noreturn]] void vFail(const std::string& sWhat) {
    std::fprintf(stderr, "conversion fuzz: %s\n", sWhat.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    static const ScratchDir tDir;
    CommandLine tArgs;
    const std::string sInput = tDir.sFile("in.vrx");
    const std::string sOutputName = tDir.sFile("out.mseed");
    // One, two or three encoding threads: every count must give the same bytes.
    tArgs.nThreads = static_cast<int>(nSize % 3) + 1;
    vWrite(sInput, pData, nSize);
    vWrite(sOutputName, sOldOutput.data(), sOldOutput.size());

    const int nStatus = nQuietConversion(tArgs, sInput, sOutputName);
    const std::string sOutput = sRead(sOutputName);
    const OracleConversion tExpected = tOracleConversion(pData, nSize);

    if (sOutput.compare(0, sOldOutput.size(), sOldOutput) != 0)
        vFail("the output's earlier bytes were changed");
    const std::string sAppended = sOutput.substr(sOldOutput.size());
    if (!tExpected.bAccepted) {
        if (nStatus != nExitBadInput)
            vFail("a refused recording ended with " + std::to_string(nStatus));
        if (!sAppended.empty()) vFail("a refused recording appended to the output");
        return 0;
    }
    if (nStatus != nExitSuccess)
        vFail("an accepted recording ended with " + std::to_string(nStatus));
    const std::vector<std::string> asProblems = asCheckOutput(
        tExpected, reinterpret_cast<const uint8_t*>(sAppended.data()), sAppended.size());
    if (!asProblems.empty()) vFail(asProblems.front());
    return 0;
}
