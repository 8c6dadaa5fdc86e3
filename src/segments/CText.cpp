// Owned strings: construction, copying, assignment and the case-folding
// comparison used to look names up.
#include "segments/CText.h"

#include <cstring>
#include <new>

namespace {

unsigned char nFoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

}  // namespace

CText::CText(const char* szSource) {
    vCopyFrom(szSource);
}

CText::CText(const CText& other) : CText(other.szText) {}

CText& CText::operator=(const CText& other) {
    if (szText == other.szText) return *this;
    delete[] szText;
    szText = nullptr;
    vCopyFrom(other.szText);
    return *this;
}

CText::~CText() {
    delete[] szText;
}

void CText::vCopyFrom(const char* szSource) {
    if (szSource == nullptr) return;
    const size_t nBytes = std::strlen(szSource) + 1;
    szText = new (std::nothrow) char[nBytes];
    if (szText != nullptr) std::memcpy(szText, szSource, nBytes);
}

int CText::nCompareNoCase(const char* szOther) const {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(szText ? szText : "");
    const unsigned char* q = reinterpret_cast<const unsigned char*>(szOther ? szOther : "");
    for (;; ++p, ++q) {
        const int a = nFoldAscii(*p);
        const int b = nFoldAscii(*q);
        if (a != b) return a - b;
        if (a == 0) return 0;
    }
}
