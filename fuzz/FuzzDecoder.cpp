// Fuzz target: the MiniSEED readers on arbitrary bytes, the reader of our
// own records and the reader of any writer's records, the latter at every
// offset where a record of any length could begin. They must never read
// outside the buffer, crash or hang; of what they report, only the general
// reader's promises about a record it read soundly are checked.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "mseed/RecordReader.h"
#include "mseed/Steim2Decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::vector<DecodedRecord> at = atDecodeRecords(pData, nSize);
    for (const DecodedRecord& r : at) {
        (void)tRecordStart(r);
        (void)tRecordLastSample(r);
    }
    for (size_t nOffset = 0; nOffset < nSize; nOffset += 128) {
        const ReadRecord r = tReadRecord(pData + nOffset, nSize - nOffset);
        if (!r.sError.empty()) continue;
        if (r.nLength < 128 || r.nLength > 65536 || r.nLength > nSize - nOffset) std::abort();
        (void)nSampleOffsetMicros(r, static_cast<int64_t>(r.anSamples.size()));
    }
    return 0;
}
