// mseed-inspect: reads a file of 512-byte MiniSEED records with Steim-2 data,
// decodes every record with the project's own decoder, and prints one line
// per channel run: records, samples, first and last sample time, whether
// every record decoded soundly with consecutive sequence numbers, and, given
// the expected samples of a synthetic recording, whether they match exactly.
// With --plot it also draws the waveforms into a PNG.
#include <cstdio>
#include <string>
#include <vector>

#include "ExpectedSamples.h"
#include "InputBytes.h"
#include "InspectReport.h"
#include "PlotLayout.h"
#include "RecordWalk.h"
#include "driver/PrintableText.h"
#ifdef TESSAL_HAVE_CAIRO
#include "QuickLookPlot.h"
#endif

namespace {

const char szUsage[] =
    "Usage: mseed-inspect FILE [--expect-dir DIR] [--records] [--plot PNG [--size WxH]]\n"
    "       mseed-inspect --help | -h | --version | -V\n"
    "Decodes a file of 512-byte MiniSEED records (Steim-2, blockette 1000) and\n"
    "prints, per run of records of one station and channel: records, samples,\n"
    "first and last sample time, and whether every record decoded soundly with\n"
    "consecutive sequence numbers from 000001.\n"
    "  --expect-dir DIR  also compare each channel's samples with the expected\n"
    "                    samples that vorn-synth --expect-dir wrote into DIR\n"
    "  --records         list every record as well\n"
    "  --plot PNG        also draw the waveforms into the picture PNG: one panel\n"
    "                    per station and channel on one UTC time axis\n"
    "  --size WxH        the picture's width and height in pixels (default 1600x900)\n"
    "Exit status: 0 when everything checked is sound, 1 when a record is not,\n"
    "a channel's samples differ from the expected ones, or the walk met bytes\n"
    "that are not a record, 2 for usage errors and files that cannot be read,\n"
    "hold no MiniSEED record or whose picture cannot be written.\n"
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

}  // namespace

int main(int argc, char** argv) {
    std::string sFile, sExpectDir, sPlot;
    bool bRecords = false;
    int nWidth = 1600, nHeight = 900;
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
            std::fprintf(stderr, "mseed-inspect: error: unexpected argument \"%s\"\n%s",
                         sPrintable(s).c_str(), szUsage);
            return 2;
        }
    }
    if (sFile.empty()) {
        std::fputs(szUsage, stderr);
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
        tInspectReport(sFile, w, bRecords, sExpectDir.empty() ? nullptr : &atExpected);
    std::fputs(t.sText.c_str(), stdout);
    if (!w.sStop.empty()) vError(sFile, w.sStop);
    if (!sPlot.empty() && !bPlot(w, sFile, sPlot, nWidth, nHeight)) return 2;
    return t.bSound && w.sStop.empty() ? 0 : 1;
}
