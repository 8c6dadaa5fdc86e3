// mseed-inspect: reads a file of 512-byte MiniSEED records with Steim-2 data,
// decodes every record with the project's own decoder, and prints one line
// per stream (NET.STA.LOC.CHA): records, samples, first and last sample
// time, gaps and overlaps, whether every record decoded soundly, and, given
// the expected samples of a synthetic recording, whether they match exactly.
// With --plot it also draws the waveforms into a PNG. Errors are one line
// on standard error each.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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
    "  --continuous      count any gap or overlap as a failure\n"
    "  --plot PNG        also draw the waveforms into the picture PNG: one panel\n"
    "                    per station and channel on one UTC time axis\n"
    "  --size WxH        the picture's width and height in pixels (default 1600x900)\n"
    "Exit status: 0 when everything checked is sound, 1 when a record does not\n"
    "decode, a channel's samples differ from the expected ones, the walk met\n"
    "bytes that are not a record, or, with --continuous, a stream has a gap or\n"
    "an overlap; 2 for usage errors and files that cannot be read, hold no\n"
    "MiniSEED record or whose picture cannot be written; 4 when standard\n"
    "output could not be written.\n"
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

}  // namespace

int main(int argc, char** argv) {
    std::string sFile, sExpectDir, sPlot;
    ReportOptions tOptions;
    int nWidth = 1600, nHeight = 900;
    for (int i = 1; i < argc; ++i) {
        const std::string s = argv[i];
        if (s == "--help" || s == "-h") {
            std::fputs(szUsage, stdout);
            return nWithConsole(0);
        } else if (s == "--version" || s == "-V") {
            std::fputs(szVersionText, stdout);
            return nWithConsole(0);
        } else if (s == "--records") {
            tOptions.bRecords = true;
        } else if (s == "--continuous") {
            tOptions.bContinuous = true;
        } else if (s == "--expect-dir" && i + 1 < argc) {
            sExpectDir = argv[++i];
        } else if (s == "--plot" && i + 1 < argc) {
            sPlot = argv[++i];
        } else if (s == "--size" && i + 1 < argc) {
            if (!bParseSize(argv[++i], nWidth, nHeight)) {
                std::fprintf(stderr,
                             "mseed-inspect: error: --size needs WIDTHxHEIGHT from %dx%d to "
                             "%dx%d, not \"%s\"\n",
                             nMinPlotWidth, nMinPlotHeight, nMaxPlotWidth, nMaxPlotHeight,
                             sPrintable(argv[i]).c_str());
                return 2;
            }
        } else if (sFile.empty() && s.rfind("-", 0) != 0) {
            sFile = s;
        } else {
            std::fprintf(stderr,
                         "mseed-inspect: error: unexpected argument \"%s\" (see mseed-inspect "
                         "--help)\n",
                         sPrintable(s).c_str());
            return 2;
        }
    }
    if (sFile.empty()) {
        std::fputs("mseed-inspect: error: no file to inspect (see mseed-inspect --help)\n", stderr);
        return 2;
    }
    std::string sBytes, sError;
    if (!bReadInputBytes(sFile, sBytes, sError)) {
        vError(sFile, sError);
        return 2;
    }
    std::vector<ExpectedChannel> atExpected;
    if (!sExpectDir.empty() && !bReadExpectedSamples(sExpectDir, atExpected, sError)) {
        std::fprintf(stderr, "mseed-inspect: error: %s\n", sPrintable(sError).c_str());
        return 2;
    }

    const RecordWalk w = tWalkRecords(reinterpret_cast<const uint8_t*>(sBytes.data()),
                                      sBytes.size(), !sExpectDir.empty());
    if (w.atRecords.empty()) {
        vError(sFile, w.sStop);
        return 2;
    }
    const InspectReport t =
        tInspectReport(sFile, w, tOptions, sExpectDir.empty() ? nullptr : &atExpected);
    std::fputs(t.sText.c_str(), stdout);
    if (!w.sStop.empty()) vError(sFile, w.sStop);
    if (!sPlot.empty() && !bPlot(w, sFile, sPlot, nWidth, nHeight)) return nWithConsole(2);
    return nWithConsole(t.bSound && w.sStop.empty() ? 0 : 1);
}
