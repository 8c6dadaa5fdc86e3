// The read-back of -verify: the output hands the records over in the order
// they were written; CRecordVerifier compares each. The progress line says
// it syncs, then the second half of the recording's work is the records
// read back.
#include "driver/run/RunVerification.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "driver/check/OutputVerify.h"
#include "driver/process/ExitStatus.h"
#include "driver/process/ProgressLine.h"

Refusal tVerifyOutput(const std::string& sIn, const std::string& sOut,
                      std::vector<ConvertedChannel> atExpected, COutputSink& tOutput) {
    CRecordVerifier tVerifier(std::move(atExpected));
    std::string sError;
    const double dRecords = static_cast<double>(std::max<int64_t>(tOutput.nRecordsAppended(), 1));
    int64_t nRead = 0;
    vProgressDoing("syncing", 0.5, 0.5);
    const bool bRead = tOutput.bReadBack(
        [&](const unsigned char* p, size_t n) {
            if (nRead == 0) vProgressDoing("reading back", 0.5, 1);
            nRead += static_cast<int64_t>(n);
            vProgressShare(static_cast<double>(nRead) / dRecords);
            return tVerifier.bCheck(p, n);
        },
        sError);
    if (bRead && tVerifier.bComplete()) return {};
    tOutput.vRestore();
    const std::string sFate = std::string("; the ") + tOutput.szKind() + " " + tOutput.sFate();
    if (!bRead) return {nExitOutputFailed, sOut + ": " + sError + sFate};
    return {nExitVerifyFailed,
            sOut + ": " + tVerifier.sProblem() + ", read back against " + sIn + sFate};
}
