// mseed-inspect: reads a file of 512-byte MiniSEED records with Steim-2 data,
// decodes every record with the project's own decoder, and prints one line
// per stream (NET.STA.LOC.CHA): records, samples, first and last sample
// time, gaps and overlaps, whether every record decoded soundly, and, given
// the expected samples of a synthetic recording, whether they match exactly.
// With --plot it also draws the waveforms into a PNG. With --sds it checks
// the day files of an SDS archive instead. Errors are one line on standard
// error each.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ArchiveCheck.h"
#include "ExpectedSamples.h"
#include "InputBytes.h"
#include "InspectReport.h"
#include "PlotLayout.h"
#include "RecordWalk.h"
#include "base/PrintableText.h"
#ifdef TESSAL_HAVE_CAIRO
#include "QuickLookPlot.h"
#endif

namespace {

const char szUsage[] =
    "Usage: mseed-inspect FILE [--expect-dir DIR] [--records] [--continuous]\n"
    "                          [--plot PNG [--size WxH]]\n"
    "       mseed-inspect --sds DIR\n"
    "       mseed-inspect --help | -h | --version | -V\n"
    "Decodes a file of 512-byte MiniSEED records (Steim-2, blockette 1000, and\n"
    "blockette 1001 where present) and prints, per stream NET.STA.LOC.CHA:\n"
    "records, samples, first and last sample time, the gaps and overlaps\n"
    "between its records in time order (more than half a sample period; a\n"
    "time span seen before is an overlap), and whether every record decoded\n"
    "soundly. Sequence numbers that do not follow one another are noted.\n"
    "  --expect-dir DIR  also compare each channel's samples with the expected\n"
    "                    samples that vorn-synth --expect-dir wrote into DIR\n"
    "  --records         list every record, gap and overlap as well\n"
    "  --continuous      count any gap or overlap, and a stream's records out of\n"
    "                    time order in the file, as a failure\n"
    "  --plot PNG        also draw the waveforms into the picture PNG: one panel\n"
    "                    per station and channel on one UTC time axis\n"
    "  --size WxH        the picture's width and height in pixels (default 1600x900)\n"
    "  --sds DIR         instead check every day file of the SDS archive under DIR\n"
    "                    (YEAR/NET/STA/CHA.D/NET.STA.LOC.CHA.D.YEAR.DAY) from its\n"
    "                    record headers, of any encoding, length and byte order:\n"
    "                    every record of the path's codes and UTC day, in time\n"
    "                    order, none overlapping or repeating another of its\n"
    "                    stream, none running over midnight, one record length\n"
    "                    per file; one line per day file with a problem, then a\n"
    "                    summary line\n"
    "Exit status: 0 when everything checked is sound, 1 when a record does not\n"
    "decode, a channel's samples differ from the expected ones, the walk met\n"
    "bytes that are not a record, with --continuous a stream has a gap, an\n"
    "overlap or records out of time order, or with --sds a day file has a\n"
    "problem; 2 for usage errors and files or folders that cannot be read,\n"
    "files that hold no MiniSEED record or whose picture cannot be written; 4\n"
    "when standard output could not be written.\n"
    "The manual page tells more: man mseed-inspect.\n";

const char szVersionText[] = "mseed-inspect " TESSAL_VERSION "\n";

void vError(const std::string& sFile, const std::string& sReason) {
    std::fprintf(stderr, "mseed-inspect: error: %s: %s\n", sPrintable(sFile).c_str(),
                 sPrintable(sReason).c_str());
}

// "WxH" within the plot's limits.
bool bParseSize(const std::string& s, int& nWidth, int& nHeight) {
    unsigned w = 0, h = 0;
    char cEnd = 0;
    if (std::sscanf(s.c_str(), "%5ux%5u%c", &w, &h, &cEnd) != 2) return false;
    if (w < nMinPlotWidth || w > nMaxPlotWidth || h < nMinPlotHeight || h > nMaxPlotHeight)
        return false;
    nWidth = static_cast<int>(w);
    nHeight = static_cast<int>(h);
    return true;
}

// Draws the plot; false after an error line.
bool bPlot(const RecordWalk& w, const std::string& sFile, const std::string& sPng, int nWidth,
           int nHeight) {
#ifdef TESSAL_HAVE_CAIRO
    QuickLookPlot tPlot;
    tPlot.nWidth = nWidth;
    tPlot.nHeight = nHeight;
    tPlot.sTitle = sFile;
    std::string sError;
    if (!bWriteQuickLookPlot(w, tPlot, sPng, sError)) {
        std::fprintf(stderr, "mseed-inspect: error: %s\n", sPrintable(sError).c_str());
        return false;
    }
    std::printf("plot: %s, %dx%d, %d of %d channels drawn\n", sPrintable(sPng).c_str(), nWidth,
                nHeight, tPlot.nPanelsDrawn, tPlot.nPanels);
    return true;
#else
    (void)w, (void)sFile, (void)nWidth, (void)nHeight;
    vError(sPng,
           "this mseed-inspect was built without cairo, so without --plot "
           "(install libcairo2-dev and rebuild)");
    return false;
#endif
}

// The report's status, or 4 after an error line when standard output could
// not take it all.
int nWithConsole(int nStatus) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return nStatus;
    std::fprintf(stderr, "mseed-inspect: error: standard output: %s\n", std::strerror(errno));
    return 4;
}

// The command line: what to inspect and how.
struct Arguments {
    std::string sFile, sExpectDir, sPlot, sArchive;
    ReportOptions tOptions;
    bool bSize = false;
    int nWidth = 1600, nHeight = 900;
};

// Reads the command line into a: -1 to go on, else the status to end with
// after the help or version text or an error line.
int nParseArguments(int argc, char** argv, Arguments& a) {
    for (int i = 1; i < argc; ++i) {
        const std::string s = argv[i];
        if (s == "--help" || s == "-h") {
            std::fputs(szUsage, stdout);
            return nWithConsole(0);
        } else if (s == "--version" || s == "-V") {
            std::fputs(szVersionText, stdout);
            return nWithConsole(0);
        } else if (s == "--records") {
            a.tOptions.bRecords = true;
        } else if (s == "--continuous") {
            a.tOptions.bContinuous = true;
        } else if (s == "--expect-dir" && i + 1 < argc) {
            a.sExpectDir = argv[++i];
        } else if (s == "--plot" && i + 1 < argc) {
            a.sPlot = argv[++i];
        } else if (s == "--sds" && i + 1 < argc && a.sArchive.empty()) {
            a.sArchive = argv[++i];
        } else if (s == "--size" && i + 1 < argc) {
            a.bSize = true;
            if (!bParseSize(argv[++i], a.nWidth, a.nHeight)) {
                std::fprintf(stderr,
                             "mseed-inspect: error: --size needs WIDTHxHEIGHT from %dx%d to "
                             "%dx%d, not \"%s\"\n",
                             nMinPlotWidth, nMinPlotHeight, nMaxPlotWidth, nMaxPlotHeight,
                             sPrintable(argv[i]).c_str());
                return 2;
            }
        } else if (a.sFile.empty() && s.rfind("-", 0) != 0) {
            a.sFile = s;
        } else {
            std::fprintf(stderr,
                         "mseed-inspect: error: unexpected argument \"%s\" (see mseed-inspect "
                         "--help)\n",
                         sPrintable(s).c_str());
            return 2;
        }
    }
    return -1;
}

// Inspects the file a names.
int nInspectFile(const Arguments& a) {
    const std::string& sFile = a.sFile;
    std::string sBytes, sError;
    if (!bReadInputBytes(sFile, sBytes, sError)) {
        vError(sFile, sError);
        return 2;
    }
    std::vector<ExpectedChannel> atExpected;
    if (!a.sExpectDir.empty() && !bReadExpectedSamples(a.sExpectDir, atExpected, sError)) {
        std::fprintf(stderr, "mseed-inspect: error: %s\n", sPrintable(sError).c_str());
        return 2;
    }

    const RecordWalk w = tWalkRecords(reinterpret_cast<const uint8_t*>(sBytes.data()),
                                      sBytes.size(), !a.sExpectDir.empty());
    if (w.atRecords.empty()) {
        vError(sFile, w.sStop);
        return 2;
    }
    const InspectReport t =
        tInspectReport(sFile, w, a.tOptions, a.sExpectDir.empty() ? nullptr : &atExpected);
    std::fputs(t.sText.c_str(), stdout);
    if (!w.sStop.empty()) vError(sFile, w.sStop);
    if (!a.sPlot.empty() && !bPlot(w, sFile, a.sPlot, a.nWidth, a.nHeight)) return nWithConsole(2);
    return nWithConsole(t.bSound && w.sStop.empty() ? 0 : 1);
}

// Checks the day files of the archive under sRoot: a line per day file with
// a problem as it is found, then the summary.
int nInspectArchive(const std::string& sRoot) {
    const ArchiveCounts t = tCheckArchive(
        sRoot, [](const std::string& sLine) { std::printf("%s\n", sLine.c_str()); },
        [](const std::string& sPath, const std::string& sReason) {
            std::fflush(stdout);  // the lines stay in the order of the walk
            vError(sPath, sReason);
        });
    if (!t.bRootRead) return nWithConsole(2);
    std::printf("%s\n", sArchiveSummary(sRoot, t).c_str());
    return nWithConsole(t.nUnreadable > 0 ? 2 : t.nWithProblems > 0 ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv) {
    Arguments a;
    const int nStatus = nParseArguments(argc, argv, a);
    if (nStatus >= 0) return nStatus;
    if (!a.sArchive.empty()) {
        if (!a.sFile.empty() || !a.sExpectDir.empty() || !a.sPlot.empty() || a.bSize ||
            a.tOptions.bRecords || a.tOptions.bContinuous) {
            std::fputs(
                "mseed-inspect: error: --sds DIR takes no file and no other option (see "
                "mseed-inspect --help)\n",
                stderr);
            return 2;
        }
        return nInspectArchive(a.sArchive);
    }
    if (a.sFile.empty()) {
        std::fputs("mseed-inspect: error: no file to inspect (see mseed-inspect --help)\n", stderr);
        return 2;
    }
    return nInspectFile(a);
}
