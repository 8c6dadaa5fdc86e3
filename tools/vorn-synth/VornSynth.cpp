// vorn-synth: writes a synthetic VORN recording (and, on request, the
// samples a converter must find in it) from a few command-line options.
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "SignalGenerators.h"
#include "SyntheticRecording.h"
#include "timeconv/CalendarTime.h"

namespace {

const char* const szHelpText =
    "Usage: vorn-synth --out FILE [OPTION]...\n"
    "Writes a synthetic VORN recording: an INI-style text head (CH1..CHn on with\n"
    "their names, GROUP1..GROUPn with CH# i and FREQ, one PERMANENT STREAM), the\n"
    "fixed binary header at byte 3072, and records of a 256-byte header followed\n"
    "by one block of R x F uint16 little-endian samples per channel. The samples\n"
    "come from deterministic generators: the same options give the same bytes.\n"
    "\n"
    "Recording:\n"
    "  --out FILE              the recording to write (created or replaced)\n"
    "  --station TEXT          station name, up to 8 bytes; 8 leave no NUL [DEMO]\n"
    "  --channels A,B,...      names of the channels switched on, CH1, CH2, ...\n"
    "                          (at most 32) [BHZ,BHN,BHE]\n"
    "  --rate F                samples per second of every channel [100]\n"
    "  --record-seconds R      seconds per record (REC_SIZE_SEC) [1]\n"
    "  --seconds S             length in seconds, rounded up to whole records [60]\n"
    "  --records K             number of records (instead of --seconds)\n"
    "  --channel-list I,J,...  channel index (0 = CH1) of each list position, the\n"
    "                          order of the blocks in a record [0,1,2,...]\n"
    "  --data-offset N         file offset of the first record, 4097 (just after\n"
    "                          the fixed header) to 32767 [4352]\n"
    "  --trailing-bytes N      bytes after the last whole record [0]\n"
    "  --head-file FILE        text head written verbatim instead of the generated\n"
    "                          sections (the data layout still follows --channels,\n"
    "                          --rate and --record-seconds)\n"
    "\n"
    "Time:\n"
    "  --start YYYY-MM-DDTHH:MM:SS  first record's start time, a real UTC time\n"
    "                          from 1970 to 9999 [2004-12-07T13:45:30]\n"
    "  --second-word N         the first record header's word at offset 20, whole\n"
    "                          seconds added to the start time [0]\n"
    "  --jump-record N         from the Nth record on (counted from 1, as tessal\n"
    "  --jump-seconds S        counts them) the record headers' times are S\n"
    "                          seconds later than continuous\n"
    "  --jump-at K             the older spelling of --jump-record K+1: counts\n"
    "                          records from 0\n"
    "\n"
    "Samples:\n"
    "  --signal KIND[,KIND...] recorder, noise, constant, sine or extremes; one for\n"
    "                          every channel or one per list position [recorder]\n"
    "  --seed N                seed of the generators [1]\n"
    "  --expect-dir DIR        also write the expected samples into DIR (created\n"
    "                          when missing): for list position p a file\n"
    "                          pNN-NAME.u16 (NN = p, two digits) holding the\n"
    "                          position's samples of every record in time order,\n"
    "                          as uint16 little-endian, and manifest.txt with one\n"
    "                          line per position: position, channel (CHk), name,\n"
    "                          rate, sample count, start time (seconds since 1970,\n"
    "                          or \"invalid\") and file name, separated by blanks\n"
    "\n"
    "Checks:\n"
    "  --allow-damaged         write what is asked even when a recorder could not\n"
    "                          have written it (an impossible start time, a data\n"
    "                          offset inside the headers or read as negative, a\n"
    "                          channel list entry naming no channel, a text head\n"
    "                          longer than 3072 bytes, rate 0); without it such\n"
    "                          values are refused\n"
    "  --help, -h              show this text\n"
    "  --version, -V           show the version\n"
    "\n"
    "On success one line on standard output says what was written; errors go to\n"
    "standard error as \"vorn-synth: error: ...\" with exit status 2. Records and\n"
    "list positions are counted from 1 in messages and options; byte offsets and\n"
    "the raw channel numbers of --channel-list from 0.\n"
    "The manual page tells more: man vorn-synth.\n";

const char* const szVersionText = "vorn-synth " TESSAL_VERSION "\n";

struct Options {
    std::string sOut;
    StandardLayout tLayout;
    double dSeconds = 60.0;
    bool bRecordsGiven = false;
    std::vector<int> anChannelList;
    bool bChannelListGiven = false;
    long nDataOffset = nDefaultDataOffset;
    long nTrailingBytes = 0;
    std::string sHeadFile;
    int anStart[6] = {2004, 12, 7, 13, 45, 30};
    long nSecondWord = 0;
    long nJumpAt = 0;
    long nJumpSeconds = 0;
    std::string sExpectDir;
    bool bAllowDamaged = false;
};

class CUsageError {
public:
    explicit CUsageError(std::string s) : sText(std::move(s)) {}
    std::string sText;
};

std::vector<std::string> asSplit(const std::string& s) {
    std::vector<std::string> as;
    if (s.empty()) return as;
    size_t nStart = 0;
    for (;;) {
        const size_t nComma = s.find(',', nStart);
        as.push_back(s.substr(nStart, nComma - nStart));
        if (nComma == std::string::npos) break;
        nStart = nComma + 1;
    }
    return as;
}

long nParseInteger(const std::string& sOption, const std::string& sText, long nMin, long nMax) {
    long n = 0;
    const char* pEnd = sText.data() + sText.size();
    const auto [p, ec] = std::from_chars(sText.data(), pEnd, n);
    if (ec != std::errc() || p != pEnd || n < nMin || n > nMax) {
        throw CUsageError(sOption + " needs an integer from " + std::to_string(nMin) + " to " +
                          std::to_string(nMax) + ", not \"" + sText + "\"");
    }
    return n;
}

void vParseStart(const std::string& sText, int anStart[6]) {
    char cExtra = 0;
    const int nRead = std::sscanf(sText.c_str(), "%d-%d-%dT%d:%d:%d%c", &anStart[0], &anStart[1],
                                  &anStart[2], &anStart[3], &anStart[4], &anStart[5], &cExtra);
    bool bFits = nRead == 6;
    for (int i = 0; i < 6 && bFits; ++i) bFits = anStart[i] >= -32768 && anStart[i] <= 32767;
    if (!bFits) throw CUsageError("--start needs YYYY-MM-DDTHH:MM:SS, not \"" + sText + "\"");
}

// Reads the options; when one asks for the help text or the version,
// szShow is set to that text and the rest is not read.
Options tParseOptions(int argc, char** argv, const char*& szShow) {
    Options o;
    szShow = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string sName = argv[i];
        std::string sValue;
        bool bHasValue = false;
        const size_t nEqual = sName.find('=');
        if (sName.rfind("--", 0) == 0 && nEqual != std::string::npos) {
            sValue = sName.substr(nEqual + 1);
            sName = sName.substr(0, nEqual);
            bHasValue = true;
        }
        if (sName == "--help" || sName == "-h") {
            szShow = szHelpText;
            return o;
        }
        if (sName == "--version" || sName == "-V") {
            szShow = szVersionText;
            return o;
        }
        if (sName.rfind("--", 0) != 0) throw CUsageError("unexpected argument \"" + sName + "\"");
        if (sName == "--allow-damaged") {
            if (bHasValue) throw CUsageError("--allow-damaged takes no value");
            o.bAllowDamaged = true;
            continue;
        }
        if (!bHasValue) {
            if (i + 1 >= argc) throw CUsageError(sName + " needs a value");
            sValue = argv[++i];
        }
        StandardLayout& l = o.tLayout;
        if (sName == "--out") {
            o.sOut = sValue;
        } else if (sName == "--station") {
            if (sValue.size() > 8) throw CUsageError("--station takes at most 8 bytes");
            l.sStation = sValue;
        } else if (sName == "--channels") {
            l.asChannels = asSplit(sValue);
            if (l.asChannels.size() > static_cast<size_t>(nRecorderChannelSlots))
                throw CUsageError("--channels takes at most 32 names");
        } else if (sName == "--rate") {
            l.nRate = static_cast<int32_t>(nParseInteger(sName, sValue, 0, 100000));
        } else if (sName == "--record-seconds") {
            l.nRecordSeconds = static_cast<int32_t>(nParseInteger(sName, sValue, 1, 127));
        } else if (sName == "--seconds") {
            o.dSeconds = static_cast<double>(nParseInteger(sName, sValue, 0, 100000000));
            o.bRecordsGiven = false;
        } else if (sName == "--records") {
            l.nRecords = static_cast<size_t>(nParseInteger(sName, sValue, 0, 100000000));
            o.bRecordsGiven = true;
        } else if (sName == "--channel-list") {
            o.anChannelList.clear();
            for (const std::string& s : asSplit(sValue))
                o.anChannelList.push_back(static_cast<int>(nParseInteger(sName, s, -128, 127)));
            if (o.anChannelList.size() > static_cast<size_t>(nRecorderChannelListLength))
                throw CUsageError("--channel-list takes at most 16 entries");
            o.bChannelListGiven = true;
        } else if (sName == "--data-offset") {
            o.nDataOffset = nParseInteger(sName, sValue, 0, 65535);
        } else if (sName == "--trailing-bytes") {
            o.nTrailingBytes = nParseInteger(sName, sValue, 0, 100000000);
        } else if (sName == "--head-file") {
            o.sHeadFile = sValue;
        } else if (sName == "--start") {
            vParseStart(sValue, o.anStart);
        } else if (sName == "--second-word") {
            o.nSecondWord = nParseInteger(sName, sValue, -32768, 32767);
        } else if (sName == "--jump-record") {
            o.nJumpAt = nParseInteger(sName, sValue, 2, 100000001) - 1;
        } else if (sName == "--jump-at") {
            o.nJumpAt = nParseInteger(sName, sValue, 1, 100000000);
        } else if (sName == "--jump-seconds") {
            o.nJumpSeconds = nParseInteger(sName, sValue, -1000000000, 1000000000);
        } else if (sName == "--signal") {
            l.aeSignals.clear();
            for (const std::string& s : asSplit(sValue)) {
                SignalKind e{};
                if (!bParseSignalKind(s, e)) throw CUsageError("unknown signal \"" + s + "\"");
                l.aeSignals.push_back(e);
            }
            if (l.aeSignals.empty()) throw CUsageError("--signal needs a kind");
        } else if (sName == "--seed") {
            const char* pEnd = sValue.data() + sValue.size();
            const auto [p, ec] = std::from_chars(sValue.data(), pEnd, l.nSeed);
            if (ec != std::errc() || p != pEnd)
                throw CUsageError("--seed needs an unsigned integer, not \"" + sValue + "\"");
        } else if (sName == "--expect-dir") {
            o.sExpectDir = sValue;
        } else {
            throw CUsageError("unknown option " + sName + " (see --help)");
        }
    }
    if (o.sOut.empty()) throw CUsageError("--out FILE is required (see --help)");
    StandardLayout& l = o.tLayout;
    if (l.aeSignals.size() > 1 && l.aeSignals.size() != l.asChannels.size())
        throw CUsageError("--signal takes one kind or one per channel");
    if (!o.bRecordsGiven)
        l.nRecords = static_cast<size_t>(std::ceil(o.dSeconds / l.nRecordSeconds));
    return o;
}

// Refuses a start time no clock shows: each field must lie in its range.
void vCheckStart(const int anStart[6]) {
    const auto [nYear, nMonth, nDay] = std::tuple(anStart[0], anStart[1], anStart[2]);
    char acStart[64];
    std::snprintf(acStart, sizeof acStart, "%04d-%02d-%02dT%02d:%02d:%02d", anStart[0], anStart[1],
                  anStart[2], anStart[3], anStart[4], anStart[5]);
    std::string sWhy;
    if (nYear < 1970 || nYear > 9999) {
        sWhy = "the year must lie from 1970 to 9999";
    } else if (nMonth < 1 || nMonth > 12) {
        sWhy = "the month must lie from 1 to 12";
    } else if (nDay < 1 || nDay > nDaysInMonth(nYear, nMonth)) {
        sWhy = std::string("that month has ")
                   .append(std::to_string(nDaysInMonth(nYear, nMonth)))
                   .append(" days");
    } else if (anStart[3] < 0 || anStart[3] > 23 || anStart[4] < 0 || anStart[4] > 59 ||
               anStart[5] < 0 || anStart[5] > 59) {
        sWhy = "the time of day must lie from 00:00:00 to 23:59:59";
    }
    if (!sWhy.empty())
        throw CUsageError(
            std::string("--start ").append(acStart).append(" is no real time: ").append(sWhy));
}

// Refuses what a recorder could not have written, unless o asks for a
// damaged recording; tRec is the recording about to be built.
void vCheckWritable(const Options& o, const SyntheticRecording& tRec) {
    if (o.bAllowDamaged) return;
    const std::string sDamaged = "; --allow-damaged writes it anyway";
    vCheckStart(o.anStart);
    constexpr long nFirstFree = nRecorderFixedHeaderOffset + nRecorderFixedHeaderSize;
    if (o.nDataOffset < nFirstFree) {
        throw CUsageError(
            std::string("--data-offset ")
                .append(std::to_string(o.nDataOffset))
                .append(" lies inside the text head and the fixed header (bytes 0 to ")
                .append(std::to_string(nFirstFree - 1))
                .append(")")
                .append(sDamaged));
    }
    if (o.nDataOffset > 32767) {
        throw CUsageError(std::string("--data-offset ")
                              .append(std::to_string(o.nDataOffset))
                              .append(" is read as negative (the field is a signed 16-bit value)")
                              .append(sDamaged));
    }
    for (size_t i = 0; i < o.anChannelList.size(); ++i) {
        const int c = o.anChannelList[i];
        if (c < 0 || c >= nRecorderChannelSlots) {
            throw CUsageError(
                std::string("--channel-list: position ")
                    .append(std::to_string(i + 1))
                    .append(" holds ")
                    .append(std::to_string(c))
                    .append(", which names no channel (0 to 31 stand for CH1 to CH32)")
                    .append(sDamaged));
        }
    }
    if (tRec.nRate == 0) throw CUsageError("--rate 0 is no sampling rate" + sDamaged);
    const size_t nHead = sHeadText(tRec).size() + tRec.sAfterHead.size();
    if (nHead > static_cast<size_t>(nRecorderFixedHeaderOffset)) {
        throw CUsageError(std::string("the text head would be ")
                              .append(std::to_string(nHead))
                              .append(" bytes, more than the 3072 before the fixed header")
                              .append(sDamaged));
    }
}

// "1 channel", "2 channels": nCount and the noun, singular for exactly one.
std::string sCounted(size_t nCount, const char* szNoun) {
    return std::to_string(nCount).append(" ").append(szNoun).append(nCount == 1 ? "" : "s");
}

// A file name part made of the channel name's safe characters.
std::string sSafeName(const std::string& s) {
    std::string sOut;
    for (char c : s) {
        const bool bSafe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-';
        sOut.push_back(bSafe ? c : '_');
    }
    return sOut.empty() ? std::string("unnamed") : sOut;
}

void vWriteExpected(const Options& o, const SyntheticRecording& tRec, const SyntheticOutput& tOut) {
    std::error_code ec;
    std::filesystem::create_directories(o.sExpectDir, ec);
    if (ec) throw CUsageError(o.sExpectDir + ": cannot create: " + ec.message());

    std::string sStart = "invalid";
    const size_t nOffset = static_cast<uint16_t>(tRec.tFixed.nDataOffset);
    EpochTime t = 0.0;
    if (tOut.anFile.size() >= nOffset + nRecorderRecordHeaderSize &&
        bReadRecordTime(tOut.anFile.data() + nOffset, t)) {
        char acStart[32];
        std::snprintf(acStart, sizeof acStart, "%.0f", t);
        sStart = acStart;
    }
    std::string sManifest;
    for (size_t p = 0; p < tOut.aanSamples.size(); ++p) {
        const int c =
            p < static_cast<size_t>(nRecorderChannelListLength) ? tRec.tFixed.anChannelList[p] : -1;
        const bool bNamed = c >= 0 && static_cast<size_t>(c) < o.tLayout.asChannels.size();
        const std::string sName = bNamed ? o.tLayout.asChannels[static_cast<size_t>(c)] : "";
        char acFile[32];
        std::snprintf(acFile, sizeof acFile, "p%02zu-", p);
        const std::string sFile = acFile + sSafeName(sName) + ".u16";

        const std::vector<uint16_t>& an = tOut.aanSamples[p];
        std::vector<uint8_t> anBytes(an.size() * 2);
        for (size_t i = 0; i < an.size(); ++i) {
            anBytes[2 * i] = static_cast<uint8_t>(an[i]);
            anBytes[2 * i + 1] = static_cast<uint8_t>(an[i] >> 8);
        }
        std::string sError;
        const std::string sPath = o.sExpectDir + "/" + sFile;
        if (!bWriteBytes(sPath, anBytes, sError)) throw CUsageError(sPath + ": " + sError);
        sManifest += std::to_string(p) + " " + (c >= 0 ? "CH" + std::to_string(c + 1) : "-") + " " +
                     (sName.empty() ? "-" : sName) + " " + std::to_string(tRec.nRate) + " " +
                     std::to_string(an.size()) + " " + sStart + " " + sFile + "\n";
    }
    std::string sError;
    const std::string sPath = o.sExpectDir + "/manifest.txt";
    if (!bWriteBytes(sPath, std::vector<uint8_t>(sManifest.begin(), sManifest.end()), sError))
        throw CUsageError(sPath + ": " + sError);
}

int nRun(int argc, char** argv) {
    const char* szShow = nullptr;
    const Options o = tParseOptions(argc, argv, szShow);
    if (szShow != nullptr) {
        std::fputs(szShow, stdout);
        return 0;
    }
    SyntheticRecording tRec = tStandardRecording(o.tLayout);
    tRec.tFixed.nDataOffset = static_cast<int16_t>(static_cast<uint16_t>(o.nDataOffset));
    if (o.bChannelListGiven) {
        for (int i = 0; i < nRecorderChannelListLength; ++i) {
            tRec.tFixed.anChannelList[i] =
                static_cast<int8_t>(static_cast<size_t>(i) < o.anChannelList.size()
                                        ? o.anChannelList[static_cast<size_t>(i)]
                                        : 0);
        }
    }
    tRec.nTrailingBytes = static_cast<size_t>(o.nTrailingBytes);
    if (!o.sHeadFile.empty()) {
        std::ifstream in(o.sHeadFile, std::ios::binary);
        if (!in) throw CUsageError(o.sHeadFile + ": cannot read: " + std::strerror(errno));
        tRec.osRawHead = std::string(std::istreambuf_iterator<char>(in), {});
    }
    tRec.nYear = static_cast<int16_t>(o.anStart[0]);
    tRec.nMonth = static_cast<int16_t>(o.anStart[1]);
    tRec.nDay = static_cast<int16_t>(o.anStart[2]);
    tRec.nHour = static_cast<int16_t>(o.anStart[3]);
    tRec.nMinute = static_cast<int16_t>(o.anStart[4]);
    tRec.nSecond = static_cast<int16_t>(o.anStart[5]);
    tRec.nSecondWord = static_cast<int16_t>(o.nSecondWord);
    tRec.nJumpRecord = static_cast<size_t>(o.nJumpAt);
    tRec.nJumpSeconds = static_cast<int32_t>(o.nJumpSeconds);

    vCheckWritable(o, tRec);
    const SyntheticOutput tOut = tBuildRecording(tRec);
    std::string sError;
    if (!bWriteBytes(o.sOut, tOut.anFile, sError)) throw CUsageError(o.sOut + ": " + sError);
    if (!o.sExpectDir.empty()) vWriteExpected(o, tRec, tOut);
    std::printf("vorn-synth: wrote %s: %s, %s of %d s, %s at %d sps\n", o.sOut.c_str(),
                sCounted(tOut.anFile.size(), "byte").c_str(),
                sCounted(tRec.nRecords, "record").c_str(), tRec.nRecordSeconds,
                sCounted(tRec.aBlocks.size(), "channel").c_str(), tRec.nRate);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return nRun(argc, argv);
    } catch (const CUsageError& e) {
        std::fprintf(stderr, "vorn-synth: error: %s\n", e.sText.c_str());
        return 2;
    }
}
