// Steim-2 packing speed: nCompressSteim2 (also its portable build) against
// libmseed's msr_pack on the same 1,000,000 samples (recorder-like, white
// noise, constant), all writing 512-byte big-endian records with a blockette
// 1000. Reports samples per second as items/s.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "SignalGenerators.h"
#include "mseed/SeedRecord.h"
#include "mseed/Steim2Encoder.h"
#include "mseed/Steim2Rules.h"
#include "segments/SegmentEncoding.h"

#ifdef TESSAL_HAVE_LIBMSEED
#include <libmseed.h>
#endif

namespace {

constexpr size_t nBenchSamples = 1000000;

const std::vector<int32_t>& anSamples(SignalKind eKind) {
    static std::vector<int32_t> aan[5];
    std::vector<int32_t>& an = aan[static_cast<int>(eKind)];
    if (an.empty()) {
        const std::vector<uint16_t> an16 = anGenerateSignal(eKind, 20240601, nBenchSamples);
        an.assign(an16.begin(), an16.end());
    }
    return an;
}

SignalKind eKindOf(const benchmark::State& state) {
    return static_cast<SignalKind>(state.range(0));
}

void vSetLabel(benchmark::State& state, size_t nRecords) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(nBenchSamples));
    state.SetLabel(std::string(szSignalKindName(eKindOf(state))) + ", " + std::to_string(nRecords) +
                   " records");
}

using Encoder = decltype(&nCompressSteim2);

void vRunTessal(benchmark::State& state, Encoder pnEncoder) {
    const std::vector<int32_t>& an = anSamples(eKindOf(state));
    RecordTemplate t = tRecordTemplate("", "ABC", "BHZ", 100.0);
    t.nStretchStartMicros = int64_t{1078099199500000};  // 2004, day 60, 23:59:59.5
    // Zero-filled once: every call writes the same bytes, so the words a
    // record leaves unwritten stay zero.
    std::vector<uint32_t> anOut(128 * ((nBenchSamples + 102) / 103));
    int nRecords = 0;
    for (auto _ : state) {
        nRecords = pnEncoder(an.data(), static_cast<uint32_t>(an.size()), t, anOut.data());
        benchmark::DoNotOptimize(anOut.data());
        benchmark::ClobberMemory();
    }
    vSetLabel(state, static_cast<size_t>(nRecords));
}

// The encoder as this CPU runs it, and its portable build.
void BM_Tessal(benchmark::State& state) {
    vRunTessal(state, nCompressSteim2);
}

void BM_TessalPortable(benchmark::State& state) {
    vRunTessal(state, nCompressSteim2Portable);
}

#ifdef TESSAL_HAVE_LIBMSEED
struct PackSink {
    std::vector<char> ac;
    size_t nUsed = 0;
};

void vStoreRecord(char* pRecord, int nLength, void* pSink) {
    PackSink& s = *static_cast<PackSink*>(pSink);
    std::memcpy(s.ac.data() + s.nUsed, pRecord, static_cast<size_t>(nLength));
    s.nUsed += static_cast<size_t>(nLength);
}

void BM_Libmseed(benchmark::State& state) {
    const std::vector<int32_t>& an = anSamples(eKindOf(state));
    std::vector<int32_t> anWork(an);
    PackSink sink;
    sink.ac.resize(512 * ((nBenchSamples + 102) / 103 + 1));
    MSRecord* pMsr = msr_init(nullptr);
    std::strcpy(pMsr->network, "");
    std::strcpy(pMsr->station, "ABC");
    std::strcpy(pMsr->location, "");
    std::strcpy(pMsr->channel, "BHZ");
    pMsr->dataquality = 'D';
    const hptime_t tStart = ms_time2hptime(2004, 60, 23, 59, 59, 500000);
    pMsr->samprate = 100.0;
    pMsr->reclen = 512;
    pMsr->encoding = DE_STEIM2;
    pMsr->byteorder = 1;
    pMsr->sampletype = 'i';
    int64_t nPacked = 0;
    for (auto _ : state) {
        pMsr->starttime = tStart;
        pMsr->sequence_number = 1;
        pMsr->datasamples = anWork.data();
        pMsr->numsamples = static_cast<int64_t>(anWork.size());
        sink.nUsed = 0;
        msr_pack(pMsr, vStoreRecord, &sink, &nPacked, 1, 0);
        benchmark::DoNotOptimize(sink.ac.data());
        benchmark::ClobberMemory();
    }
    if (nPacked != static_cast<int64_t>(nBenchSamples))
        state.SkipWithError("msr_pack packed too few");
    pMsr->datasamples = nullptr;
    msr_free(&pMsr);
    vSetLabel(state, sink.nUsed / 512);
}
#endif

void vKinds(benchmark::internal::Benchmark* b) {
    b->ArgName("kind");
    for (SignalKind e : {SignalKind::RecorderLike, SignalKind::WhiteNoise, SignalKind::Constant})
        b->Arg(static_cast<int64_t>(e));
    b->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_Tessal)->Apply(vKinds);
BENCHMARK(BM_TessalPortable)->Apply(vKinds);
#ifdef TESSAL_HAVE_LIBMSEED
BENCHMARK(BM_Libmseed)->Apply(vKinds);
#endif

BENCHMARK_MAIN();
