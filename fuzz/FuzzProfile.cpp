// Fuzz target: the INI-style lookup and the section reader on arbitrary text
// heads. The lookup, which parses the head once into a table, is compared
// with a plain line-by-line scan made for every query; the section reader's
// channel and stream counts are compared with counts made by that scan.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "recorder/ProfileLookup.h"
#include "recorder/RecorderHeader.h"

namespace {

// The text head of the image: up to 3072 bytes, ending at the first NUL.
std::string_view sHeadOf(const uint8_t* p, size_t n) {
    const char* pc = reinterpret_cast<const char*>(p);
    const size_t nLimit = std::min<size_t>(n, 3072);
    return std::string_view(pc, std::find(pc, pc + nLimit, '\0') - pc);
}

std::string_view sTrim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool bSameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

// The head's lines, without line end, CR and surrounding blanks; blank lines
// and comments dropped.
std::vector<std::string_view> asLines(std::string_view sHead) {
    std::vector<std::string_view> as;
    while (!sHead.empty()) {
        const size_t nEnd = std::min(sHead.find('\n'), sHead.size());
        std::string_view s = sHead.substr(0, nEnd);
        sHead.remove_prefix(std::min(nEnd + 1, sHead.size()));
        if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
        s = sTrim(s);
        if (!s.empty() && s.front() != ';') as.push_back(s);
    }
    return as;
}

// The name of a "[name]" line: up to the first "]" or the line's end.
std::string_view sSectionName(std::string_view sLine) {
    sLine.remove_prefix(1);
    return sTrim(sLine.substr(0, sLine.find(']')));
}

// The value by a scan: the first section of the name, the first key line of
// the name in it up to the next section line; the default when missing.
std::string sScanValue(const std::vector<std::string_view>& asHead, std::string_view sSection,
                       std::string_view sKey, std::string_view sDefault) {
    size_t i = 0;
    while (i < asHead.size() &&
           !(asHead[i].front() == '[' && bSameNoCase(sSectionName(asHead[i]), sSection)))
        ++i;
    for (++i; i < asHead.size() && asHead[i].front() != '['; ++i) {
        const size_t nEqual = asHead[i].find('=');
        if (nEqual == std::string_view::npos ||
            !bSameNoCase(sTrim(asHead[i].substr(0, nEqual)), sKey))
            continue;
        return std::string(sTrim(asHead[i].substr(nEqual + 1)).substr(0, 255));
    }
    return std::string(sDefault);
}

[[noreturn]] void vFail(const std::string& sWhat) {
    std::fprintf(stderr, "profile fuzz: %s\n", sWhat.c_str());
    std::abort();
}

// Section and key names to ask for: those in the head, the same in upper
// case, and the ones the section reader uses.
void vCollectNames(const std::vector<std::string_view>& asHead,
                   std::vector<std::string>& asSections, std::vector<std::string>& asKeys) {
    asSections = {"CH1", "GROUP1", "STREAM1", "ch2"};
    asKeys = {"STAT", "NAME", "FREQ", "TYPE", "REC_SIZE_SEC"};
    for (std::string_view s : asHead) {
        const size_t nEqual = s.find('=');
        if (s.front() == '[' && asSections.size() < 12) {
            asSections.emplace_back(sSectionName(s));
        } else if (nEqual != std::string_view::npos && asKeys.size() < 12) {
            asKeys.emplace_back(sTrim(s.substr(0, nEqual)));
        }
    }
    for (std::vector<std::string>* p : {&asSections, &asKeys}) {
        const size_t n = p->size();
        for (size_t i = 0; i < n; ++i) {
            std::string s = (*p)[i];
            for (char& c : s) c = c >= 'a' && c <= 'z' ? char(c - 32) : c;
            p->push_back(s);
        }
    }
}

// The section reader's counts against the scan: channels whose STAT is
// exactly "ON", streams up to the first whose TYPE is "NULL".
void vCheckSectionReader(const uint8_t* pData, size_t nSize,
                         const std::vector<std::string_view>& asHead) {
    std::vector<uint8_t> anImage(pData, pData + std::min<size_t>(nSize, 3072));
    anImage.resize(3072 + 1025, 0);
    RecorderHeader tHeader{};
    RecorderGroup aGroups[nRecorderChannelSlots];
    vReadRecorderSections(anImage.data(), anImage.size(), tHeader, aGroups);
    int nOn = 0;
    for (int k = 1; k <= 32; ++k) {
        const bool bOn = sScanValue(asHead, "CH" + std::to_string(k), "STAT", "NULL") == "ON";
        nOn += bOn;
        if (tHeader.aChannels[k - 1].bOn != bOn) vFail("on flag of CH" + std::to_string(k));
        if (std::memchr(tHeader.aChannels[k - 1].sName, '\0',
                        sizeof tHeader.aChannels[k - 1].sName) == nullptr)
            vFail("channel name without terminator");
    }
    if (tHeader.nChannelCount != nOn) vFail("channel count");
    int nStreams = 0;
    while (nStreams < 127 &&
           sScanValue(asHead, "STREAM" + std::to_string(nStreams + 1), "TYPE", "NULL") != "NULL")
        ++nStreams;
    if (tHeader.nStreamCount != nStreams) vFail("stream count");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::vector<std::string_view> asHead = asLines(sHeadOf(pData, nSize));
    const CProfileLookup tLookup(pData, nSize);
    std::vector<std::string> asSections, asKeys;
    vCollectNames(asHead, asSections, asKeys);
    for (const std::string& sSection : asSections) {
        for (const std::string& sKey : asKeys) {
            const std::string sGot = tLookup.sValue(sSection, sKey, "NULL");
            if (sGot != sScanValue(asHead, sSection, sKey, "NULL"))
                vFail("[" + sSection + "] " + sKey + " = \"" + sGot + "\" differs from the scan");
        }
    }
    vCheckSectionReader(pData, nSize, asHead);
    return 0;
}
