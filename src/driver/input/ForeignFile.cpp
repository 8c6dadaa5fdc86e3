// Recognition of the file types a wrong input most likely is: by the first
// bytes each type always begins with.
#include "driver/input/ForeignFile.h"

#include <cstring>
#include <string_view>

#include "mseed/SeedRecord.h"
#include "recorder/ProfileLookup.h"

namespace {

struct Signature {
    std::string_view sHead;  // the bytes the file begins with
    const char* szKind;
};

// Leading bytes of common files a user may give by mistake.
constexpr Signature atSignatures[] = {
    {"\x7F"
     "ELF",
     "it looks like an ELF program"},
    {"\x89PNG\r\n\x1A\n", "it looks like a PNG image"},
    {"\xFF\xD8\xFF", "it looks like a JPEG image"},
    {"GIF8", "it looks like a GIF image"},
    {"\x1F\x8B", "it looks like gzip-compressed data"},
    {"BZh", "it looks like bzip2-compressed data"},
    {"\xFD"
     "7zXZ",
     "it looks like xz-compressed data"},
    {"PK\x03\x04", "it looks like a zip archive"},
    {"%PDF-", "it looks like a PDF document"},
    {"#!", "it looks like a script"},
};

const char* const szLooksLikeMiniSeed = "it looks like MiniSEED";
const char* const szEmpty = "it is empty";

bool bBeginsWith(const uint8_t* p, size_t nSize, std::string_view sHead) {
    return nSize >= sHead.size() && std::memcmp(p, sHead.data(), sHead.size()) == 0;
}

}  // namespace

std::string sForeignFileKind(const uint8_t* p, size_t nSize) {
    const CProfileLookup tProfile(p, nSize);
    for (const char* szSection : {"CH", "GROUP", "STREAM"})
        if (tProfile.bHasNumberedSection(szSection)) return "";
    if (nSize == 0) return szEmpty;
    if (bLooksLikeDataRecord(p, nSize)) return szLooksLikeMiniSeed;
    for (const Signature& t : atSignatures)
        if (bBeginsWith(p, nSize, t.sHead)) return t.szKind;
    return "its text head holds no CH, GROUP or STREAM section";
}

bool bIsKnownFileType(const std::string& sKind) {
    if (sKind == szLooksLikeMiniSeed || sKind == szEmpty) return true;
    for (const Signature& t : atSignatures)
        if (sKind == t.szKind) return true;
    return false;
}
