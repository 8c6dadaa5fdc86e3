// Escaping of every byte that is not printable ASCII for diagnostic lines.
#include "base/PrintableText.h"

std::string sPrintable(std::string_view s) {
    static const char acHex[] = "0123456789ABCDEF";
    std::string sOut;
    sOut.reserve(s.size());
    for (const char c : s) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) {
            sOut.push_back(c);
            continue;
        }
        sOut += "\\x";
        sOut.push_back(acHex[u >> 4]);
        sOut.push_back(acHex[u & 0xF]);
    }
    return sOut;
}
