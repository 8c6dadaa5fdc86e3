// The read-back of -verify: the output hands the records over in the order
// they were written; CRecordVerifier compares each.
#include "driver/run/RunVerification.h"

#include <utility>

#include "driver/check/OutputVerify.h"
#include "driver/process/ExitStatus.h"

Refusal tVerifyOutput(const std::string& sIn, const std::string& sOut,
                      std::vector<ConvertedChannel> atExpected, COutputSink& tOutput) {
    CRecordVerifier tVerifier(std::move(atExpected));
    std::string sError;
    const bool bRead = tOutput.bReadBack(
        [&tVerifier](const unsigned char* p, size_t n) { return tVerifier.bCheck(p, n); }, sError);
    if (bRead && tVerifier.bComplete()) return {};
    tOutput.vRestore();
    const std::string sFate = std::string("; the ") + tOutput.szKind() + " " + tOutput.sFate();
    if (!bRead) return {nExitOutputFailed, sOut + ": " + sError + sFate};
    return {nExitVerifyFailed,
            sOut + ": " + tVerifier.sProblem() + ", read back against " + sIn + sFate};
}
