// Archive sink: records are routed by the codes in their header (bytes 8
// to 19) and the day the writer gives them. Only the day file being
// written holds a batch in memory: the batch of the one before is written
// out and given back when the records move on, so a run over many days
// needs the memory of one output.
#include "driver/output/ArchiveSink.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "driver/process/Rollback.h"
#include "mseed/SeedRecord.h"

namespace {

// Raises the limit of open files, where the system allows, so that every
// day file of the run can be held open and locked at once.
void vAllowOpenFiles(size_t nFiles) {
    struct rlimit t;
    if (getrlimit(RLIMIT_NOFILE, &t) != 0) return;
    const rlim_t nWanted = static_cast<rlim_t>(nFiles) + 64;
    if (t.rlim_cur != RLIM_INFINITY && t.rlim_cur < nWanted) {
        t.rlim_cur = t.rlim_max == RLIM_INFINITY ? nWanted : std::min(nWanted, t.rlim_max);
        setrlimit(RLIMIT_NOFILE, &t);
    }
}

}  // namespace

OutputOpening CArchiveSink::eOpen(std::vector<DayFile> atFiles, std::string& sError) {
    m_atFiles = std::move(atFiles);
    if (m_atFiles.size() > nMaxArmedOutputs) {
        sError = "the run would write " + std::to_string(m_atFiles.size()) +
                 " day files, more than one run can hold open (" +
                 std::to_string(nMaxArmedOutputs) + ")";
        return OutputOpening::Failed;
    }
    vAllowOpenFiles(m_atFiles.size());
    const bool bMade = bMakeDayFolders(m_atFiles, m_asFolders, sError);
    vArmFolderRemoval(m_asFolders);
    if (!bMade) {
        vRestore();
        return OutputOpening::Failed;
    }
    for (size_t i = 0; i < m_atFiles.size(); ++i) {
        const DayFile& f = m_atFiles[i];
        m_apSinks.push_back(std::make_unique<COutputSink>());
        std::string sWhy;
        const OutputOpening e = m_apSinks.back()->eOpen(f.sPath, sWhy, true);
        if (e != OutputOpening::Opened) {
            m_apSinks.pop_back();
            vRestore();
            sError = f.sPath + ": " + sWhy;
            return e;
        }
        m_mapFiles[{f.tCodes, f.nDay}] = i;
    }
    vSetInterruptMessage(m_sRoot, std::string("the archive ") + sFate());
    return OutputOpening::Opened;
}

void CArchiveSink::vPutRecords(const unsigned char* pRecords, size_t nRecords, int64_t nDay) {
    if (nRecords == 0) return;
    const StreamCodes tCodes = tCodesOfRecord(pRecords);
    const auto it = m_mapFiles.find({tCodes, nDay});
    if (it == m_mapFiles.end()) {
        if (m_sRouteError.empty())
            m_sRouteError =
                "records of " + sStreamName(tCodes) + " fall on a day no file was opened for";
        return;
    }
    const size_t nFile = it->second;
    if (nFile != m_nCurrent) {
        // The day file left behind writes its batch now and frees it.
        std::string sIgnored;
        m_apSinks[m_nCurrent]->bFlush(sIgnored);
        m_apSinks[m_nCurrent]->vReleaseBatch();
        m_nCurrent = nFile;
    }
    COutputSink& tSink = *m_apSinks[nFile];
    const int64_t nFirst = tSink.nRecordsAppended() + tSink.nRecordsWaiting();
    if (m_atPieces.empty() || m_atPieces.back().nFile != nFile ||
        m_atPieces.back().nFirst + m_atPieces.back().nCount != nFirst)
        m_atPieces.push_back({nFile, nFirst, 0});
    m_atPieces.back().nCount += static_cast<int64_t>(nRecords);
    tSink.vPutRecords(pRecords, nRecords, nDay);
}

bool CArchiveSink::bFlush(std::string& sError) {
    if (!m_sRouteError.empty()) {
        sError = m_sRouteError;
        return false;
    }
    for (size_t i = 0; i < m_apSinks.size(); ++i) {
        if (m_apSinks[i]->bFlush(sError)) continue;
        sError = m_atFiles[i].sPath + ": " + sError;
        return false;
    }
    return true;
}

bool CArchiveSink::bReadBack(const RecordReader& fnRecords, std::string& sError) {
    if (!bFlush(sError)) return false;
    bool bStopped = false;
    const RecordReader fnUntilStopped = [&](const unsigned char* p, size_t n) {
        bStopped = !fnRecords(p, n);
        return !bStopped;
    };
    for (const Piece& t : m_atPieces) {
        if (!m_apSinks[t.nFile]->bReadBackRecords(t.nFirst, t.nCount, fnUntilStopped, sError)) {
            sError = m_atFiles[t.nFile].sPath + ": " + sError;
            return false;
        }
        if (bStopped) break;
    }
    return true;
}

void CArchiveSink::vRemoveFolders() {
    for (size_t i = m_asFolders.size(); i > 0; --i) rmdir(m_asFolders[i - 1].c_str());
    m_asFolders.clear();
    vArmFolderRemoval(m_asFolders);
}

void CArchiveSink::vRestore() {
    for (size_t i = m_apSinks.size(); i > 0; --i) m_apSinks[i - 1]->vRestore();
    vRemoveFolders();
}

bool CArchiveSink::bSyncFolders(std::string& sError) {
    std::set<std::string> setParents;
    for (const std::string& s : m_asFolders) setParents.insert(sFolderOf(s));
    for (const std::string& s : setParents) {
        if (bSyncFolder(s, sError)) continue;
        sError = s + ": " + sError;
        return false;
    }
    return true;
}

bool CArchiveSink::bClose(std::string& sError) {
    bool bOk = bFlush(sError);
    for (size_t i = 0; i < m_apSinks.size() && bOk; ++i) {
        bOk = m_apSinks[i]->bSync(sError);
        if (!bOk) sError = m_atFiles[i].sPath + ": " + sError;
    }
    if (!bOk || !bSyncFolders(sError)) {
        vRestore();
        return false;
    }
    for (size_t i = 0; i < m_apSinks.size(); ++i) {
        if (m_apSinks[i]->bClose(sError)) continue;
        // Synced, yet the close failed: this day file is put back already,
        // and so is every one not yet closed.
        sError = m_atFiles[i].sPath + ": " + sError;
        for (size_t j = m_apSinks.size(); j > i + 1; --j) m_apSinks[j - 1]->vRestore();
        vRemoveFolders();
        return false;
    }
    // Every day file holds records now; no folder may go any more.
    m_asFolders.clear();
    vArmFolderRemoval(m_asFolders);
    return true;
}

int64_t CArchiveSink::nRecordsAppended() const {
    int64_t n = 0;
    for (const std::unique_ptr<COutputSink>& p : m_apSinks) n += p->nRecordsAppended();
    return n;
}

std::string CArchiveSink::sFate() const {
    return "is left as it was (the day files and folders this run made are removed)" + sFateNote();
}
