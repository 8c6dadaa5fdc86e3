// Stream codes as text: each field without its padding, and the stream's
// dotted name.
#include "driver/channel/StreamCodes.h"

#include <cstring>

std::string sCodeField(const StreamCodes& t, CodeField f) {
    std::string s(t.data() + f.nAt, f.nWidth);
    return s.erase(s.find_last_not_of(' ') + 1);
}

std::string sStreamName(const StreamCodes& t) {
    return sCodeField(t, tNetworkField) + "." + sCodeField(t, tStationField) + "." +
           sCodeField(t, tLocationField) + "." + sCodeField(t, tChannelField);
}

StreamCodes tCodesOfRecord(const unsigned char* pRecord) {
    StreamCodes t;
    std::memcpy(t.data(), pRecord + nCodesAt, t.size());
    return t;
}
