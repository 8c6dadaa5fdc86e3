// End-to-end measurement: four synthetic recordings (an hour, a day and
// seven days of three channels at 100 samples per second; a day of sixteen
// at 200) converted by the built program with standard output sent to
// /dev/null. Per recording: the median wall time, beside the floor measured
// in the same run (reading the input and writing as many bytes with a plain
// file copy), their ratio, samples per second, and the peak resident memory
// beyond the input's size; then the time to start the program and wait for
// it, which each conversion includes. Then, when sac2mseed (Debian package
// sac2mseed) is installed, the day-long case's samples as SAC files through
// it. Other builds of tessal named on the command line (after the number of
// runs) are timed in the same runs, for a before-and-after comparison. Last,
// the seven days into an SDS archive: the first run into an empty archive,
// the same run again into the archive that holds it all, and a run that
// puts the first half of the week before what the archive holds of the
// second (a day file of each stream rewritten in time order), beside the
// time a synced copy of the rewritten files takes. A measurement only; it
// never fails for being slow.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
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

// The floor: reads all of sFrom through a 1 MiB buffer and writes the first
// nOutputBytes of it to sTo (a new file), as a conversion reads its input
// and writes its output; seconds.
double dTimeCopy(const std::string& sFrom, const std::string& sTo, size_t nOutputBytes) {
    std::filesystem::remove(sTo);
    const Clock::time_point t0 = Clock::now();
    const int nIn = open(sFrom.c_str(), O_RDONLY);
    const int nOut = open(sTo.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char> ac(1 << 20);
    ssize_t n;
    size_t nLeft = nOutputBytes;
    while ((n = read(nIn, ac.data(), ac.size())) > 0) {
        const size_t nWrite = std::min(nLeft, static_cast<size_t>(n));
        if (nWrite > 0 && write(nOut, ac.data(), nWrite) != static_cast<ssize_t>(nWrite)) break;
        nLeft -= nWrite;
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

// Runs the tessal at szProgram with the arguments szFirst and szSecond
// (null for none), stdout to /dev/null, and waits for it.
RunResult tTimeProgram(const char* szProgram, const char* szFirst, const char* szSecond) {
    const Clock::time_point t0 = Clock::now();
    const pid_t nPid = fork();
    if (nPid == 0) {
        const int nNull = open("/dev/null", O_WRONLY);
        dup2(nNull, 1);
        execl(szProgram, szProgram, szFirst, szSecond, static_cast<char*>(nullptr));
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

// Runs the tessal at sProgram on sInput into sOutput (removed first).
RunResult tTimeConversion(const std::string& sProgram, const std::string& sInput,
                          const std::string& sOutput) {
    std::filesystem::remove(sOutput);
    const std::string sOption = "-outname=" + sOutput;
    return tTimeProgram(sProgram.c_str(), sInput.c_str(), sOption.c_str());
}

// Median seconds of starting the program, printing its version and waiting
// for it: the fixed cost inside every conversion time.
double dTimeStart(int nRuns) {
    std::vector<double> ad;
    for (int i = 0; i < nRuns; ++i)
        ad.push_back(tTimeProgram(TESSAL_PROGRAM, "--version", nullptr).dSeconds);
    return dMedian(ad);
}

// Writes one channel's samples as a binary SAC file (host byte order, which
// readers detect): the 632-byte header with the fields a converter needs,
// then the samples as 32-bit floats.
bool bWriteSac(const std::string& sPath, const std::vector<uint16_t>& anSamples,
               const char* szStation, const char* szChannel, double dRate) {
    float afHeader[70];
    int32_t anHeader[40];
    char acText[192];
    std::fill(std::begin(afHeader), std::end(afHeader), -12345.0f);
    std::fill(std::begin(anHeader), std::end(anHeader), -12345);
    for (size_t i = 0; i < sizeof acText; i += 8) std::memcpy(acText + i, "-12345  ", 8);
    afHeader[0] = static_cast<float>(1.0 / dRate);                                          // DELTA
    afHeader[5] = 0.0f;                                                                     // B
    afHeader[6] = static_cast<float>((static_cast<double>(anSamples.size()) - 1) / dRate);  // E
    const int32_t anTime[6] = {2004, 342, 13, 45, 30, 0};  // NZYEAR .. NZMSEC
    std::copy(std::begin(anTime), std::end(anTime), anHeader);
    anHeader[6] = 6;                                       // NVHDR
    anHeader[9] = static_cast<int32_t>(anSamples.size());  // NPTS
    anHeader[15] = 1;                                      // IFTYPE: time series
    anHeader[35] = 1;                                      // LEVEN
    const auto vText = [&acText](size_t nAt, const char* sz) {
        std::memset(acText + nAt, ' ', 8);
        std::memcpy(acText + nAt, sz, std::min<size_t>(std::strlen(sz), 8));
    };
    vText(0, szStation);    // KSTNM
    vText(160, szChannel);  // KCMPNM
    vText(168, "XX");       // KNETWK
    std::vector<float> afData(anSamples.begin(), anSamples.end());
    FILE* f = std::fopen(sPath.c_str(), "wb");
    if (f == nullptr) return false;
    const bool bOk = std::fwrite(afHeader, sizeof afHeader, 1, f) == 1 &&
                     std::fwrite(anHeader, sizeof anHeader, 1, f) == 1 &&
                     std::fwrite(acText, sizeof acText, 1, f) == 1 &&
                     std::fwrite(afData.data(), sizeof(float), afData.size(), f) == afData.size();
    return std::fclose(f) == 0 && bOk;
}

// Seconds the program asArgs[0] (looked up on the PATH) takes with the
// arguments after it, its standard output and error sent to /dev/null;
// negative when it fails.
double dTimeSilently(std::vector<std::string> asArgs) {
    std::vector<char*> apArgv;
    for (std::string& s : asArgs) apArgv.push_back(s.data());
    apArgv.push_back(nullptr);
    const Clock::time_point t0 = Clock::now();
    const pid_t nPid = fork();
    if (nPid == 0) {
        const int nNull = open("/dev/null", O_WRONLY);
        dup2(nNull, 1);
        dup2(nNull, 2);
        execvp(apArgv[0], apArgv.data());
        _exit(127);
    }
    int nStatus = 0;
    waitpid(nPid, &nStatus, 0);
    const double dSeconds = dSecondsSince(t0);
    return WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0 ? dSeconds : -1.0;
}

// Seconds sac2mseed takes to write 512-byte Steim-2 records of the SAC
// files asFiles into one output; negative when it fails.
double dTimeSacConverter(const std::vector<std::string>& asFiles, const std::string& sOutput) {
    std::filesystem::remove(sOutput);
    std::vector<std::string> asArgs = {"sac2mseed", "-r", "512", "-e", "11", "-o", sOutput};
    asArgs.insert(asArgs.end(), asFiles.begin(), asFiles.end());
    return dTimeSilently(asArgs);
}

// Writes the day-long case's samples as SAC files in sDir; their paths,
// none on failure.
std::vector<std::string> asWriteDaySac(const std::string& sDir,
                                       const std::vector<std::vector<uint16_t>>& aanDay) {
    const char* const aszChannels[] = {"BHZ", "BHN", "BHE"};
    std::vector<std::string> asFiles;
    for (size_t p = 0; p < aanDay.size() && p < 3; ++p) {
        asFiles.push_back(sDir + "/day-" + aszChannels[p] + ".sac");
        if (!bWriteSac(asFiles.back(), aanDay[p], "DEMO", aszChannels[p], 100.0)) return {};
    }
    return asFiles;
}

// Converts the SAC files asFiles with sac2mseed (a converter built on
// libmseed) when it is installed, and prints its median time beside ours.
void vCompareWithSacConverter(const std::string& sDir, const std::vector<std::string>& asFiles,
                              double dOurSeconds, int nRuns) {
    if (asFiles.empty()) return;
    std::vector<double> adSeconds;
    for (int i = 0; i < nRuns; ++i) {
        const double d = dTimeSacConverter(asFiles, sDir + "/sac.mseed");
        if (d < 0) {
            std::printf(
                "sac2mseed: not installed or failed (Debian package sac2mseed); no "
                "comparison\n");
            return;
        }
        adSeconds.push_back(d);
    }
    const double dTheirs = dMedian(adSeconds);
    std::printf(
        "sac2mseed on the day-long case's samples (3 SAC files, 512-byte Steim-2 "
        "records): %.1f ms, median of %d; tessal is %.1f times faster\n",
        dTheirs * 1e3, nRuns, dTheirs / dOurSeconds);
}

struct Case {
    const char* szName;
    std::vector<std::string> asChannels;
    int32_t nRate;
    int32_t nRecordSeconds;
    size_t nRecords;
    int nRuns;
};

// Writes the recording of tCase to sPath; its samples go to *paanSamples
// when asked for. Returns the file's size, 0 on failure.
size_t nWriteCase(const Case& tCase, const std::string& sPath,
                  std::vector<std::vector<uint16_t>>* paanSamples) {
    StandardLayout tLayout;
    tLayout.asChannels = tCase.asChannels;
    tLayout.nRate = tCase.nRate;
    tLayout.nRecordSeconds = tCase.nRecordSeconds;
    tLayout.nRecords = tCase.nRecords;
    tLayout.aeSignals = {SignalKind::RecorderLike};
    SyntheticOutput tOut = tBuildRecording(tStandardRecording(tLayout));
    std::string sError;
    if (!bWriteBytes(sPath, tOut.anFile, sError)) {
        std::fprintf(stderr, "bench_end_to_end: %s: %s\n", sPath.c_str(), sError.c_str());
        return 0;
    }
    if (paanSamples != nullptr) *paanSamples = std::move(tOut.aanSamples);
    return tOut.anFile.size();
}

struct CaseResult {
    double dConvert = 0;  // median seconds
    double dFloor = 0;
    double dExtraMiB = 0;          // peak RSS minus the input's size
    std::vector<double> adOthers;  // median seconds of each program compared with
};

// Converts sInput nRuns times beside as many copy floors, and with each of
// asOthers (other builds of tessal) as often, interleaved so that all see
// the same machine.
bool bMeasure(const std::string& sDir, const std::string& sInput, size_t nInputBytes, int nRuns,
              const std::vector<std::string>& asOthers, CaseResult& t) {
    std::vector<double> adCopy, adConvert;
    std::vector<std::vector<double>> aadOthers(asOthers.size());
    long nPeakKiB = 0;
    for (int i = 0; i < nRuns; ++i) {
        const RunResult r = tTimeConversion(TESSAL_PROGRAM, sInput, sDir + "/out.mseed");
        if (r.nStatus != 0) {
            std::fprintf(stderr, "bench_end_to_end: tessal exited with %d\n", r.nStatus);
            return false;
        }
        adConvert.push_back(r.dSeconds);
        nPeakKiB = std::max(nPeakKiB, r.nPeakKiB);
        const size_t nOutput = std::filesystem::file_size(sDir + "/out.mseed");
        adCopy.push_back(dTimeCopy(sInput, sDir + "/copy.bin", nOutput));
        for (size_t k = 0; k < asOthers.size(); ++k) {
            const RunResult o = tTimeConversion(asOthers[k], sInput, sDir + "/other.mseed");
            if (o.nStatus != 0) {
                std::fprintf(stderr, "bench_end_to_end: %s exited with %d\n", asOthers[k].c_str(),
                             o.nStatus);
                return false;
            }
            aadOthers[k].push_back(o.dSeconds);
        }
    }
    t.dConvert = dMedian(adConvert);
    t.dFloor = dMedian(adCopy);
    t.dExtraMiB =
        (static_cast<double>(nPeakKiB) * 1024.0 - static_cast<double>(nInputBytes)) / 1048576.0;
    for (const std::vector<double>& ad : aadOthers) t.adOthers.push_back(dMedian(ad));
    return true;
}

// The week-long recording at sPath, without its first nRecords records of
// nRecordBytes (the data begin at nDataOffset), written to sLate: the same
// samples, from a later start. False on failure.
bool bWriteLatePart(const std::string& sPath, size_t nDataOffset, size_t nRecordBytes,
                    size_t nRecords, const std::string& sLate) {
    std::ifstream tIn(sPath, std::ios::binary);
    std::string s((std::istreambuf_iterator<char>(tIn)), std::istreambuf_iterator<char>());
    if (s.size() < nDataOffset + nRecords * nRecordBytes) return false;
    s.erase(nDataOffset, nRecords * nRecordBytes);
    std::ofstream tOut(sLate, std::ios::binary | std::ios::trunc);
    tOut << s;
    return static_cast<bool>(tOut);
}

// Seconds of tessal converting sInput into the archive sArchive, emptied
// first when bFresh; negative on failure.
double dTimeIntoArchive(const std::string& sInput, const std::string& sArchive, bool bFresh) {
    if (bFresh) {
        std::filesystem::remove_all(sArchive);
        std::filesystem::create_directories(sArchive);
    }
    return dTimeSilently({TESSAL_PROGRAM, sInput, "-sds=" + sArchive, "-network=XX"});
}

// The inode of every regular file under sDir, by path.
std::map<std::string, ino_t> mapInodes(const std::string& sDir) {
    std::map<std::string, ino_t> map;
    for (const auto& e : std::filesystem::recursive_directory_iterator(sDir)) {
        struct stat st;
        if (e.is_regular_file() && stat(e.path().c_str(), &st) == 0) map[e.path()] = st.st_ino;
    }
    return map;
}

// Seconds to copy each file of asPaths beside itself and sync the copy, as
// a rewrite of a day file copies it; the copies are removed.
double dTimeSyncedCopies(const std::vector<std::string>& asPaths) {
    double d = 0;
    for (const std::string& s : asPaths) {
        struct stat st;
        if (stat(s.c_str(), &st) != 0) continue;
        const std::string sCopy = s + ".copy";
        const Clock::time_point t0 = Clock::now();
        dTimeCopy(s, sCopy, static_cast<size_t>(st.st_size));
        const int n = open(sCopy.c_str(), O_WRONLY);
        fsync(n);
        close(n);
        d += dSecondsSince(t0);
        std::filesystem::remove(sCopy);
    }
    return d;
}

// The paths of mapBefore whose file mapAfter finds replaced (another inode).
std::vector<std::string> asReplaced(const std::map<std::string, ino_t>& mapBefore,
                                    const std::map<std::string, ino_t>& mapAfter) {
    std::vector<std::string> as;
    for (const auto& [sPath, nInode] : mapBefore) {
        const auto it = mapAfter.find(sPath);
        if (it != mapAfter.end() && it->second != nInode) as.push_back(sPath);
    }
    return as;
}

// The week into an archive: first run, the same run again, and the week put
// before what the archive holds of its second half, beside a synced copy of
// the day files that run rewrites; medians of nRuns each.
bool bMeasureArchive(const std::string& sDir, const Case& tWeek, int nRuns) {
    const std::string sInput = sDir + "/week.vrx", sLate = sDir + "/late.vrx";
    const std::string sArchive = sDir + "/sds";
    if (nWriteCase(tWeek, sInput, nullptr) == 0) return false;
    // 3.5 days of 1-second records of three channels at 100 sps.
    const size_t nRecordBytes = 256 + 3 * 100 * 2;
    if (!bWriteLatePart(sInput, nDefaultDataOffset, nRecordBytes, 302400, sLate)) return false;
    std::vector<double> adFirst, adAgain, adBefore, adCopy;
    size_t nRewritten = 0;
    for (int i = 0; i < nRuns; ++i) {
        adFirst.push_back(dTimeIntoArchive(sInput, sArchive, true));
        adAgain.push_back(dTimeIntoArchive(sInput, sArchive, false));
        if (dTimeIntoArchive(sLate, sArchive, true) < 0) return false;
        const std::map<std::string, ino_t> mapLate = mapInodes(sArchive);
        adBefore.push_back(dTimeIntoArchive(sInput, sArchive, false));
        const std::vector<std::string> asRewritten = asReplaced(mapLate, mapInodes(sArchive));
        nRewritten = asRewritten.size();
        adCopy.push_back(dTimeSyncedCopies(asRewritten));
        for (const double d : {adFirst.back(), adAgain.back(), adBefore.back()})
            if (d < 0) return false;
    }
    std::printf(
        "7 days into an SDS archive (-sds, 24 day files), medians of %d: first run %.1f ms; the "
        "same run again (all held) %.1f ms (%.2f of the first); the week before what the "
        "archive holds of its second half %.1f ms (%.2f of the first), where a synced copy of "
        "the %zu day files it rewrites takes %.1f ms (%.2f of the first)\n",
        nRuns, dMedian(adFirst) * 1e3, dMedian(adAgain) * 1e3, dMedian(adAgain) / dMedian(adFirst),
        dMedian(adBefore) * 1e3, dMedian(adBefore) / dMedian(adFirst), nRewritten,
        dMedian(adCopy) * 1e3, dMedian(adCopy) / dMedian(adFirst));
    std::filesystem::remove_all(sArchive);
    std::filesystem::remove(sInput);
    std::filesystem::remove(sLate);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int nRunsAtMost = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    // Further arguments: other builds of tessal, measured in the same runs.
    const std::vector<std::string> asOthers(argv + std::min(argc, 2), argv + argc);
    const std::string sDir = "e2e-bench";
    std::filesystem::create_directories(sDir);
    const std::vector<std::string> asThree = {"BHZ", "BHN", "BHE"};
    std::vector<std::string> asSixteen;
    for (int k = 1; k <= 16; ++k) asSixteen.push_back(std::string("C").append(std::to_string(k)));
    const Case aCases[] = {
        {"1 hour, 3 channels, 100 sps", asThree, 100, 1, 3600, nRunsAtMost},
        {"1 day, 3 channels, 100 sps", asThree, 100, 10, 8640, nRunsAtMost},
        {"7 days, 3 channels, 100 sps", asThree, 100, 1, 7 * 86400, std::min(nRunsAtMost, 5)},
        {"1 day, 16 channels, 200 sps", asSixteen, 200, 1, 86400, std::min(nRunsAtMost, 5)},
    };
    std::printf("%-30s %8s %9s %9s %7s %12s %12s\n", "recording", "input", "convert", "floor",
                "ratio", "samples/s", "RSS-input");
    double dDaySeconds = 0;
    std::vector<std::string> asDaySac;
    for (const Case& c : aCases) {
        const std::string sInput = sDir + "/rec.vrx";
        const bool bDay = c.nRecordSeconds == 10;
        // The image and the samples are freed before the runs: each run
        // forks this process, which costs more the more memory it holds.
        std::vector<std::vector<uint16_t>> aanDay;
        const size_t nBytes = nWriteCase(c, sInput, bDay ? &aanDay : nullptr);
        if (nBytes == 0) return 1;
        if (bDay) asDaySac = asWriteDaySac(sDir, aanDay);
        aanDay = {};
        CaseResult t;
        if (!bMeasure(sDir, sInput, nBytes, c.nRuns, asOthers, t)) return 1;
        const double dSamples = static_cast<double>(c.asChannels.size()) * c.nRate *
                                c.nRecordSeconds * static_cast<double>(c.nRecords);
        std::printf("%-30s %6.0f MB %7.1f ms %7.1f ms %7.2f %10.1f M %8.1f MiB\n", c.szName,
                    static_cast<double>(nBytes) / 1e6, t.dConvert * 1e3, t.dFloor * 1e3,
                    t.dConvert / t.dFloor, dSamples / t.dConvert / 1e6, t.dExtraMiB);
        for (size_t k = 0; k < asOthers.size(); ++k) {
            std::printf("%-30s %8s %7.1f ms  (%s; this build takes %.2f of its time)\n", "",
                        "other", t.adOthers[k] * 1e3, asOthers[k].c_str(),
                        t.dConvert / t.adOthers[k]);
        }
        if (bDay) dDaySeconds = t.dConvert;
        std::filesystem::remove(sInput);
    }
    std::printf("process start (tessal --version, launched the same way): %.1f ms, median of %d\n",
                dTimeStart(nRunsAtMost) * 1e3, nRunsAtMost);
    vCompareWithSacConverter(sDir, asDaySac, dDaySeconds, nRunsAtMost);
    if (!bMeasureArchive(sDir, aCases[2], std::min(nRunsAtMost, 5))) {
        std::fprintf(stderr, "bench_end_to_end: the archive runs failed\n");
        return 1;
    }
    std::filesystem::remove_all(sDir);
    return 0;
}
