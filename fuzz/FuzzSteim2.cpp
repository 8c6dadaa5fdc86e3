// Fuzz target: the Steim-2 encoder on arbitrary runs of 16-bit samples. The
// first byte chooses how samples are widened (without or with sign) and the
// record template's rate; the rest are the samples, little-endian. The fast
// encoder, as this CPU runs it and in its portable build, must write the same
// bytes as the literal rules, and our decoder must read back every sample, in
// sound records numbered one after another.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mseed/SeedRecord.h"
#include "mseed/Steim2Decoder.h"
#include "mseed/Steim2Encoder.h"
#include "mseed/Steim2Rules.h"
#include "segments/SegmentEncoding.h"

namespace {

[[noreturn]] void vFail(const std::string& sWhat) {
    std::fprintf(stderr, "steim2 fuzz: %s\n", sWhat.c_str());
    std::abort();
}

RecordTemplate tFuzzTemplate(double dSampleRate) {
    RecordTemplate t = tRecordTemplate("", "FUZZ", "BHZ", dSampleRate);
    t.nStretchStartMicros = int64_t{1102427130} * 1000000 + 123400;  // 2004-12-07 13:45:30.1234
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize < 1) return 0;
    const bool bSigned = pData[0] & 1;
    // Rates whose times are exact in ticks, rates that are not, and rates
    // whose records carry a blockette 1001.
    static const double adRates[] = {100, 1, 7, 250, 6000, 3000, 1024, 10000};
    const RecordTemplate tTemplate = tFuzzTemplate(adRates[(pData[0] >> 1) & 7]);
    std::vector<int32_t> anSamples;
    for (size_t i = 1; i + 1 < nSize; i += 2) {
        const uint16_t n = static_cast<uint16_t>(pData[i] | pData[i + 1] << 8);
        anSamples.push_back(bSigned ? static_cast<int16_t>(n) : n);
    }
    const size_t nWords = 128 * ((anSamples.size() + 102) / 103 + 1);
    std::vector<uint32_t> anFast(nWords, 0), anPortable(nWords, 0), anLiteral(nWords, 0);
    const uint32_t nCount = static_cast<uint32_t>(anSamples.size());
    const int nFast = nCompressSteim2(anSamples.data(), nCount, tTemplate, anFast.data());
    const int nPortable =
        nCompressSteim2Portable(anSamples.data(), nCount, tTemplate, anPortable.data());
    const int nLiteral =
        nCompressSteim2Literal(anSamples.data(), nCount, tTemplate, anLiteral.data());
    if (nFast != nLiteral || anFast != anLiteral) vFail("fast and literal encoders differ");
    if (nPortable != nLiteral || anPortable != anLiteral)
        vFail("portable and literal encoders differ");

    const std::vector<DecodedRecord> at =
        atDecodeRecords(anFast.data(), 512 * static_cast<size_t>(nFast));
    std::vector<int32_t> anBack;
    for (size_t k = 0; k < at.size(); ++k) {
        if (!at[k].sError.empty()) vFail("record " + std::to_string(k) + ": " + at[k].sError);
        if (at[k].nSequenceNumber != static_cast<int32_t>(k + 1)) vFail("sequence numbers");
        anBack.insert(anBack.end(), at[k].anSamples.begin(), at[k].anSamples.end());
    }
    if (anBack != anSamples) vFail("samples differ after the round trip");
    return 0;
}
