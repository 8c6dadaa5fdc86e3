// Opening the output: one place for both kinds, and for the words of an
// output that cannot be opened or written as it is.
#include "driver/run/OpenOutput.h"

#include "driver/output/ArchiveLayout.h"
#include "driver/output/ArchiveSink.h"
#include "driver/output/OutputSink.h"
#include "driver/process/Diagnostics.h"
#include "driver/process/ExitStatus.h"
#include "driver/run/RunWarnings.h"

namespace {

// Opens the single output file sOut into t.
OutputOpening eOpenFile(const std::string& sOut, const std::vector<ConvertedChannel>& atChannels,
                        CWorkerPool& tPool, OpenedOutput& t, std::string& sError) {
    auto pSink = std::make_unique<COutputSink>();
    const OutputOpening e = pSink->eOpen(sOut, sError);
    if (e != OutputOpening::Opened) return e;
    t.fnWarn = [&tSink = *pSink, atWrites = atStreamWrites(atChannels), &tPool] {
        return nWarnAboutHeldRecords(tSink.tFile(), atWrites, tPool);
    };
    t.pFile = pSink.get();
    t.pOutput = std::move(pSink);
    return e;
}

// Opens the day files of the archive sRoot that atChannels fall into into t.
OutputOpening eOpenArchive(const std::string& sRoot,
                           const std::vector<ConvertedChannel>& atChannels, OpenedOutput& t,
                           std::string& sError) {
    auto pArchive = std::make_unique<CArchiveSink>(sRoot);
    const OutputOpening e = pArchive->eOpen(atDayFiles(sRoot, atChannels), sError);
    if (e != OutputOpening::Opened) return e;
    t.fnWarn = [&tArchive = *pArchive, &asTorn = t.tHeld.asWarnings] {
        for (size_t i = 0; i < tArchive.atFiles().size(); ++i) vWarnAboutLock(tArchive.tFile(i));
        for (const std::string& s : asTorn) vPrintWarning(s);
        return size_t{0};  // what it holds already is counted in samples (ArchiveHeld)
    };
    t.nDayFiles = pArchive->atFiles().size();
    t.pArchive = pArchive.get();
    t.pOutput = std::move(pArchive);
    return e;
}

}  // namespace

Refusal tOpenOutput(const std::string& sIn, const std::string& sOut, bool bArchive,
                    const std::vector<ConvertedChannel>& atChannels, CWorkerPool& tPool,
                    OpenedOutput& t) {
    std::string sError;
    const OutputOpening e = bArchive ? eOpenArchive(sOut, atChannels, t, sError)
                                     : eOpenFile(sOut, atChannels, tPool, t, sError);
    const std::string sLeft = bArchive ? "; the archive is left as it was" : "";
    switch (e) {
        case OutputOpening::Opened:
            if (!bArchive) return {};
            if (const Refusal r =
                    tSurveyArchive(sIn, *t.pArchive, sOut, atChannels, tPool, t.tHeld)) {
                t.pArchive->vRestore();
                return {r.nStatus, r.sMessage + sLeft};
            }
            return {};
        case OutputOpening::NotMiniSeed:
            return {nExitCommandLine, sOut + ": " + sError +
                                          "; records are appended only to MiniSEED files" +
                                          (bArchive ? sLeft : "; choose another name")};
        case OutputOpening::Failed:
            break;
    }
    return {nExitOutputFailed, sOut + ": cannot open for writing: " + sError + sLeft};
}
