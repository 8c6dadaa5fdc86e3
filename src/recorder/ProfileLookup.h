// INI-style value lookup over a recording's text head. The head (the bytes
// before the fixed header, ending early at a NUL byte) is parsed once; every
// lookup is then answered from memory.
//
// Rules: "[name]" opens a section; "key=value" lines belong to the section
// above them (lines before any section, and lines without "=", are ignored);
// lines whose first non-blank character is ";" are comments. Section and key
// names match without regard to ASCII letter case. Blanks (spaces, tabs)
// around names and values and the CR of CR LF line ends are removed. The
// first section of a name and the first key of a name within it count;
// values are cut to 255 characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

class CProfileLookup {
public:
    // Longest value returned, in characters.
    static constexpr size_t nMaxValueLength = 255;
    // The text head ends at this file offset at the latest.
    static constexpr size_t nHeadLimit = 3072;

    // Parses the text head of the file image (pFile, nFileSize): the bytes
    // before offset 3072, or before the first NUL byte when there is one.
    CProfileLookup(const uint8_t* pFile, size_t nFileSize);

    // The value of sKey in section sSection, or sDefault when the section
    // or the key is missing.
    std::string sValue(std::string_view sSection, std::string_view sKey,
                       std::string_view sDefault = "NULL") const;

    // True when a section named sPrefix followed by decimal digits (such as
    // CH12 for "CH", in any letter case) holds at least one key.
    bool bHasNumberedSection(std::string_view sPrefix) const;

private:
    // Key: lower-case section name, a NUL, lower-case key name.
    std::unordered_map<std::string, std::string> m_mapValues;
};

// The integer value of a profile text: leading blanks, an optional sign,
// then decimal digits up to the first other character; 0 without digits
// (as for "NULL"). Digits beyond 32 bits wrap, keeping the low 32 bits.
int32_t nProfileInteger(std::string_view sText);
