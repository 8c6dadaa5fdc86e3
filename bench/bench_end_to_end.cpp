// End-to-end measurement: a day-long synthetic recording (3 channels at 100
// samples per second, 25,920,000 samples) converted by the built program with
// standard output sent to /dev/null. Reports the median wall time over
// several runs, the peak resident memory, and, in the same run, the floor:
// the time to read the input and write an output of the same size with a
// plain file copy. A measurement only; it never fails for being slow.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "SyntheticRecording.h"

namespace {

using Clock = std::chrono::steady_clock;

double dSecondsSince(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double dMedian(std::vector<double> ad) {
    std::sort(ad.begin(), ad.end());
    const size_t n = ad.size();
    return n % 2 ? ad[n / 2] : (ad[n / 2 - 1] + ad[n / 2]) / 2.0;
}

// Copies sFrom to sTo with read and write through a 1 MiB buffer; seconds.
double dTimeCopy(const std::string& sFrom, const std::string& sTo) {
    const Clock::time_point t0 = Clock::now();
    const int nIn = open(sFrom.c_str(), O_RDONLY);
    const int nOut = open(sTo.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char> ac(1 << 20);
    ssize_t n;
    while ((n = read(nIn, ac.data(), ac.size())) > 0) {
        if (write(nOut, ac.data(), static_cast<size_t>(n)) != n) break;
    }
    close(nIn);
    close(nOut);
    return dSecondsSince(t0);
}

struct RunResult {
    double dSeconds = 0;
    long nPeakKiB = 0;
    int nStatus = -1;
};

// Runs tessal on sInput into sOutput (removed first), stdout to /dev/null.
RunResult tTimeConversion(const std::string& sInput, const std::string& sOutput) {
    std::filesystem::remove(sOutput);
    const std::string sOption = "-outname=" + sOutput;
    const Clock::time_point t0 = Clock::now();
    const pid_t nPid = fork();
    if (nPid == 0) {
        const int nNull = open("/dev/null", O_WRONLY);
        dup2(nNull, 1);
        execl(TESSAL_PROGRAM, TESSAL_PROGRAM, sInput.c_str(), sOption.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int nStatus = 0;
    struct rusage tUsage;
    wait4(nPid, &nStatus, 0, &tUsage);
    RunResult r;
    r.dSeconds = dSecondsSince(t0);
    r.nPeakKiB = tUsage.ru_maxrss;
    r.nStatus = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    const int nRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::string sDir = "e2e-bench";
    std::filesystem::create_directories(sDir);
    const std::string sInput = sDir + "/day.vrx";

    // The recording is built and written, then its image is freed, so the
    // children forked below do not start out sharing it.
    size_t nSamplesPerChannel = 0, nChannels = 0;
    double dInputBytes = 0;
    {
        // 10-second records: 8640 records of 256 + 3 x 2000 bytes, about 54 MB.
        StandardLayout tLayout;
        tLayout.nRecordSeconds = 10;
        tLayout.nRecords = 8640;
        tLayout.aeSignals = {SignalKind::RecorderLike};
        const SyntheticOutput tOut = tBuildRecording(tStandardRecording(tLayout));
        std::string sError;
        if (!bWriteBytes(sInput, tOut.anFile, sError)) {
            std::fprintf(stderr, "bench_end_to_end: %s: %s\n", sInput.c_str(), sError.c_str());
            return 1;
        }
        dInputBytes = static_cast<double>(tOut.anFile.size());
        nChannels = tOut.aanSamples.size();
        nSamplesPerChannel = nChannels == 0 ? 0 : tOut.aanSamples[0].size();
    }

    std::vector<double> adCopy, adConvert;
    long nPeakKiB = 0;
    for (int i = 0; i < nRuns; ++i) {  // interleaved, so both see the same machine
        adCopy.push_back(dTimeCopy(sInput, sDir + "/copy.bin"));
        const RunResult r = tTimeConversion(sInput, sDir + "/day.mseed");
        if (r.nStatus != 0) {
            std::fprintf(stderr, "bench_end_to_end: tessal exited with %d\n", r.nStatus);
            return 1;
        }
        adConvert.push_back(r.dSeconds);
        nPeakKiB = std::max(nPeakKiB, r.nPeakKiB);
    }
    const double dDataArea = dInputBytes - nDefaultDataOffset;
    const double dBudget = dDataArea + 4.0 * static_cast<double>(nSamplesPerChannel) + 32.0 * 1048576;
    const double dOutputBytes = static_cast<double>(std::filesystem::file_size(sDir + "/day.mseed"));
    std::printf("input: %.1f MB, %zu samples per channel x %zu channels; output %.1f MB\n",
                dInputBytes / 1e6, nSamplesPerChannel, nChannels, dOutputBytes / 1e6);
    std::printf("conversion, median of %d runs: %.3f s (%.1f M samples/s)\n", nRuns,
                dMedian(adConvert),
                static_cast<double>(nSamplesPerChannel * nChannels) / 1e6 /
                    dMedian(adConvert));
    std::printf("copy floor, median of %d runs: %.3f s\n", nRuns, dMedian(adCopy));
    std::printf("ratio conversion / floor: %.2f\n", dMedian(adConvert) / dMedian(adCopy));
    std::printf("peak resident memory: %.1f MiB (budget: data area + 4 B x samples of one "
                "channel + 32 MiB = %.1f MiB)\n",
                static_cast<double>(nPeakKiB) / 1024.0, dBudget / 1048576.0);
    std::filesystem::remove_all(sDir);
    return 0;
}
