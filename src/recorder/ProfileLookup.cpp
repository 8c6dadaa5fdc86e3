// Parsing of the INI-style text head into a table of section/key values.
#include "recorder/ProfileLookup.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace {

bool bIsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view sTrimBlanks(std::string_view s) {
    while (!s.empty() && bIsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && bIsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string sLowerAscii(std::string_view s) {
    std::string sOut(s);
    for (char& c : sOut) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return sOut;
}

std::string sTableKey(std::string_view sSection, std::string_view sKey) {
    std::string s = sLowerAscii(sSection);
    s.push_back('\0');
    s += sLowerAscii(sKey);
    return s;
}

}  // namespace

CProfileLookup::CProfileLookup(const uint8_t* pFile, size_t nFileSize) {
    const char* pHead = reinterpret_cast<const char*>(pFile);
    size_t nHead = std::min(nFileSize, nHeadLimit);
    if (nHead == 0) return;
    if (const void* pNul = std::memchr(pHead, '\0', nHead)) {
        nHead = static_cast<size_t>(static_cast<const char*>(pNul) - pHead);
    }
    const std::string_view sHead(pHead, nHead);

    // Sections already seen: a later section of the same name is skipped
    // whole, so the first one answers every lookup.
    std::unordered_set<std::string> setSections;
    std::string sSection;  // lower case; valid only while bInSection
    bool bInSection = false;
    size_t nPos = 0;
    while (nPos < sHead.size()) {
        size_t nEnd = sHead.find('\n', nPos);
        if (nEnd == std::string_view::npos) nEnd = sHead.size();
        std::string_view sLine = sHead.substr(nPos, nEnd - nPos);
        nPos = nEnd + 1;
        if (!sLine.empty() && sLine.back() == '\r') sLine.remove_suffix(1);
        sLine = sTrimBlanks(sLine);
        if (sLine.empty() || sLine.front() == ';') continue;

        if (sLine.front() == '[') {
            const size_t nClose = sLine.find(']');
            const std::string_view sName = sTrimBlanks(sLine.substr(
                1, nClose == std::string_view::npos ? std::string_view::npos : nClose - 1));
            sSection = sLowerAscii(sName);
            bInSection = setSections.insert(sSection).second;
            continue;
        }
        if (!bInSection) continue;
        const size_t nEqual = sLine.find('=');
        if (nEqual == std::string_view::npos) continue;
        const std::string_view sKey = sTrimBlanks(sLine.substr(0, nEqual));
        std::string_view sVal = sTrimBlanks(sLine.substr(nEqual + 1));
        if (sVal.size() > nMaxValueLength) sVal = sVal.substr(0, nMaxValueLength);
        m_mapValues.try_emplace(sTableKey(sSection, sKey), sVal);
    }
}

std::string CProfileLookup::sValue(std::string_view sSection, std::string_view sKey,
                                   std::string_view sDefault) const {
    const auto it = m_mapValues.find(sTableKey(sSection, sKey));
    if (it == m_mapValues.end()) return std::string(sDefault);
    return it->second;
}

bool CProfileLookup::bHasNumberedSection(std::string_view sPrefix) const {
    const std::string sLowerPrefix = sLowerAscii(sPrefix);
    for (const auto& [sKey, sValue] : m_mapValues) {
        const std::string_view sSection(sKey.data(), sKey.find('\0'));
        if (sSection.size() <= sLowerPrefix.size() || sSection.rfind(sLowerPrefix, 0) != 0)
            continue;
        const std::string_view sNumber = sSection.substr(sLowerPrefix.size());
        if (std::all_of(sNumber.begin(), sNumber.end(),
                        [](char c) { return c >= '0' && c <= '9'; }))
            return true;
    }
    return false;
}

int32_t nProfileInteger(std::string_view sText) {
    size_t i = 0;
    while (i < sText.size() && (bIsBlank(sText[i]) || sText[i] == '\r' || sText[i] == '\n' ||
                                sText[i] == '\v' || sText[i] == '\f')) {
        ++i;
    }
    bool bNegative = false;
    if (i < sText.size() && (sText[i] == '+' || sText[i] == '-')) {
        bNegative = sText[i] == '-';
        ++i;
    }
    uint32_t nValue = 0;  // unsigned, so that overflow wraps without undefined behaviour
    for (; i < sText.size() && sText[i] >= '0' && sText[i] <= '9'; ++i) {
        nValue = nValue * 10u + static_cast<uint32_t>(sText[i] - '0');
    }
    if (bNegative) nValue = 0u - nValue;
    return static_cast<int32_t>(nValue);
}
