// Fuzz target: the MiniSEED decoder on arbitrary bytes. It must never read
// outside the buffer, crash or hang; what it reports is not checked.
#include <cstddef>
#include <cstdint>

#include "mseed/Steim2Decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::vector<DecodedRecord> at = atDecodeRecords(pData, nSize);
    for (const DecodedRecord& r : at) {
        (void)tRecordStart(r);
        (void)tRecordLastSample(r);
    }
    return 0;
}
