// mseed-inspect: reads a file of 512-byte MiniSEED records with Steim-2 data,
// decodes every record with the project's own decoder, and prints one line
// per channel run: records, samples, first and last sample time, whether
// every record decoded soundly with consecutive sequence numbers, and, given
// the expected samples of a synthetic recording, whether they match exactly.
#include <strings.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ExpectedSamples.h"
#include "mseed/Steim2Decoder.h"

namespace {

const char szUsage[] =
    "Usage: mseed-inspect FILE [--expect-dir DIR] [--records]\n"
    "       mseed-inspect --help | -h | --version | -V\n"
    "Decodes a file of 512-byte MiniSEED records (Steim-2, blockette 1000) and\n"
    "prints, per run of records of one station and channel: records, samples,\n"
    "first and last sample time, and whether every record decoded soundly with\n"
    "consecutive sequence numbers from 000001.\n"
    "  --expect-dir DIR  also compare each channel's samples with the expected\n"
    "                    samples that vorn-synth --expect-dir wrote into DIR\n"
    "  --records         list every record as well\n"
    "Exit status: 0 when everything checked is sound, 1 when a record is not,\n"
    "or a channel's samples differ from the expected ones, 2 for usage errors.\n"
    "The manual page tells more: man mseed-inspect.\n";

const char szVersionText[] = "mseed-inspect " TESSAL_VERSION "\n";

// Consecutive records of one station and channel, numbered from 000001.
struct ChannelRun {
    std::string sStation, sChannel;
    size_t nFirst = 0, nCount = 0;  // records of the run
    int64_t nSamples = 0;
    int nBadRecords = 0;
    int nSequenceBreaks = 0;
    std::vector<int32_t> anSamples;
};

std::string sFormatTime(EpochTime t) {
    const double dWhole = std::floor(t);
    const time_t nSeconds = static_cast<time_t>(dWhole);
    struct tm tmUtc;
    if (gmtime_r(&nSeconds, &tmUtc) == nullptr) return "?";
    char ac[64];
    std::snprintf(ac, sizeof ac, "%04d-%02d-%02d %02d:%02d:%02d.%04d", tmUtc.tm_year + 1900,
                  tmUtc.tm_mon + 1, tmUtc.tm_mday, tmUtc.tm_hour, tmUtc.tm_min, tmUtc.tm_sec,
                  static_cast<int>(std::lround((t - dWhole) * 10000.0)) % 10000);
    return ac;
}

// Groups the records into runs: a new run begins where the station or
// channel changes or the sequence numbers restart at 1.
std::vector<ChannelRun> atGroupRuns(const std::vector<DecodedRecord>& at) {
    std::vector<ChannelRun> atRuns;
    for (size_t i = 0; i < at.size(); ++i) {
        const DecodedRecord& r = at[i];
        const bool bNew = atRuns.empty() || atRuns.back().sStation != r.sStation ||
                          atRuns.back().sChannel != r.sChannel || r.nSequenceNumber == 1;
        if (bNew) atRuns.push_back(ChannelRun{r.sStation, r.sChannel, i, 0, 0, 0, 0, {}});
        ChannelRun& run = atRuns.back();
        if (r.nSequenceNumber != static_cast<int32_t>(run.nCount % 999999) + 1) ++run.nSequenceBreaks;
        ++run.nCount;
        run.nSamples += r.anSamples.size();
        if (!r.sError.empty()) ++run.nBadRecords;
        run.anSamples.insert(run.anSamples.end(), r.anSamples.begin(), r.anSamples.end());
    }
    return atRuns;
}

// Whether the run's samples equal the next unused expected channel whose
// name is written as the run's channel code.
const char* szCompare(const ChannelRun& run, std::vector<ExpectedChannel>& atExpected) {
    for (ExpectedChannel& t : atExpected) {
        if (t.sName.empty() || strncasecmp(t.sName.c_str(), run.sChannel.c_str(), 3) != 0) continue;
        const bool bSame = t.anSamples == run.anSamples;
        t.sName.clear();  // used
        return bSame ? "exact" : "DIFFERS";
    }
    return "no expected samples";
}

void vPrintRecords(const std::vector<DecodedRecord>& at) {
    for (const DecodedRecord& r : at) {
        std::printf("  record at %zu: %06d %s %s %zu samples from %s%s%s\n", r.nOffset,
                    r.nSequenceNumber, r.sStation.c_str(), r.sChannel.c_str(), r.anSamples.size(),
                    sFormatTime(tRecordStart(r)).c_str(), r.sError.empty() ? "" : "  ERROR: ",
                    r.sError.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string sFile, sExpectDir;
    bool bRecords = false;
    for (int i = 1; i < argc; ++i) {
        const std::string s = argv[i];
        if (s == "--help" || s == "-h") {
            std::fputs(szUsage, stdout);
            return 0;
        } else if (s == "--version" || s == "-V") {
            std::fputs(szVersionText, stdout);
            return 0;
        } else if (s == "--records") {
            bRecords = true;
        } else if (s == "--expect-dir" && i + 1 < argc) {
            sExpectDir = argv[++i];
        } else if (sFile.empty() && s.rfind("--", 0) != 0) {
            sFile = s;
        } else {
            std::fprintf(stderr, "mseed-inspect: error: unexpected argument \"%s\"\n%s", s.c_str(),
                         szUsage);
            return 2;
        }
    }
    if (sFile.empty()) {
        std::fputs(szUsage, stderr);
        return 2;
    }
    std::ifstream in(sFile, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "mseed-inspect: error: %s: cannot be read\n", sFile.c_str());
        return 2;
    }
    const std::string sBytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<ExpectedChannel> atExpected;
    std::string sError;
    if (!sExpectDir.empty() && !bReadExpectedSamples(sExpectDir, atExpected, sError)) {
        std::fprintf(stderr, "mseed-inspect: error: %s\n", sError.c_str());
        return 2;
    }

    const std::vector<DecodedRecord> at = atDecodeRecords(sBytes.data(), sBytes.size());
    std::printf("%s: %zu records of 512 bytes\n", sFile.c_str(), at.size());
    if (bRecords) vPrintRecords(at);
    std::printf("%-5s %-3s %8s %10s  %-24s  %-24s  %-7s%s\n", "STA", "CHA", "records", "samples",
                "first sample", "last sample", "decoded", sExpectDir.empty() ? "" : "  input");
    bool bSound = true;
    for (const ChannelRun& run : atGroupRuns(at)) {
        const bool bOk = run.nBadRecords == 0 && run.nSequenceBreaks == 0;
        const char* szMatch = sExpectDir.empty() ? "" : szCompare(run, atExpected);
        bSound = bSound && bOk && (sExpectDir.empty() || std::string(szMatch) == "exact");
        std::printf("%-5s %-3s %8zu %10lld  %-24s  %-24s  %-7s%s%s\n", run.sStation.c_str(),
                    run.sChannel.c_str(), run.nCount, static_cast<long long>(run.nSamples),
                    sFormatTime(tRecordStart(at[run.nFirst])).c_str(),
                    sFormatTime(tRecordLastSample(at[run.nFirst + run.nCount - 1])).c_str(),
                    bOk ? "ok" : "FAILED", sExpectDir.empty() ? "" : "  ", szMatch);
        if (run.nBadRecords > 0) {
            std::printf("      %d records did not decode soundly (see --records)\n",
                        run.nBadRecords);
        }
        if (run.nSequenceBreaks > 0)
            std::printf("      %d sequence numbers out of order\n", run.nSequenceBreaks);
    }
    return bSound ? 0 : 1;
}
