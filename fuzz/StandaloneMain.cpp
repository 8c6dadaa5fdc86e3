// Runs a fuzz target without libFuzzer, as a test: every seed file given on
// the command line, then many deterministic mutations of each (bytes
// flipped, overwritten with boundary values, the file cut or extended).
// Usage: fuzz-target ITERATIONS SEED_FILE...
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize);

namespace {

uint64_t nNext(uint64_t& nState) {
    uint64_t z = (nState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void vMutate(std::vector<uint8_t>& an, uint64_t& nState) {
    static const uint8_t anBoundary[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0xFE, '0', '9', '=', '['};
    const int nEdits = 1 + static_cast<int>(nNext(nState) % 8);
    for (int e = 0; e < nEdits && !an.empty(); ++e) {
        const size_t i = nNext(nState) % an.size();
        switch (nNext(nState) % 4) {
            case 0:
                an[i] ^= static_cast<uint8_t>(1u << (nNext(nState) % 8));
                break;
            case 1:
                an[i] = anBoundary[nNext(nState) % sizeof anBoundary];
                break;
            case 2:
                an.resize(i);
                break;
            default:
                an.insert(an.begin() + static_cast<long>(i), nNext(nState) % 64, 0x41);
                break;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const long nIterations = argc > 1 ? std::atol(argv[1]) : 1000;
    uint64_t nState = 12345;
    int nSeeds = 0;
    for (int a = 2; a < argc; ++a) {
        std::ifstream in(argv[a], std::ios::binary);
        const std::vector<uint8_t> anSeed((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(anSeed.data(), anSeed.size());
        for (long i = 0; i < nIterations; ++i) {
            std::vector<uint8_t> an = anSeed;
            vMutate(an, nState);
            LLVMFuzzerTestOneInput(an.data(), an.size());
        }
        ++nSeeds;
    }
    std::fprintf(stderr, "%d seeds, %ld mutations each: no fault\n", nSeeds, nIterations);
    return 0;
}
