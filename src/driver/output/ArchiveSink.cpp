// Archive sink: records are routed by the codes in their header and the day
// the writer gives them. Only the day file being written holds a batch in
// memory: the batch of the one before is written out and given back when
// the records move on, so a run over many days needs the memory of one
// output. A file to be replaced gets the run's records in a file beside it
// (".NAME.tessal-new"); at the end both are copied in time order into
// ".NAME.tessal-sorted", which is synced, locked and renamed over the day
// file, while the old file stays as ".NAME.tessal-kept" (a hard link made
// before the rename) until the run ends. Names that begin with a dot and
// end in another word are never taken for day files by a reader.
#include "driver/output/ArchiveSink.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "base/WholeTransfer.h"
#include "driver/process/Rollback.h"
#include "mseed/SeedRecord.h"
#include "mseed/Steim2Decoder.h"

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

// The name beside day file sPath that ends in szWord.
std::string sBeside(const std::string& sPath, const char* szWord) {
    const size_t nSlash = sPath.rfind('/');
    return sPath.substr(0, nSlash + 1) + "." + sPath.substr(nSlash + 1) + ".tessal-" + szWord;
}

// Where the record at p (one of the run's) starts, and its number.
RecordTime tTimeOf(const unsigned char* p) {
    RecordTime t;
    RecordSpan tSpan;
    if (bReadRecordSpan(p, nSeedRecordLength, tSpan)) t.nStartMicros = tSpan.nStartMicros;
    t.nSequenceNumber = 0;
    for (int k = 0; k < 6; ++k) t.nSequenceNumber = t.nSequenceNumber * 10 + (p[k] - '0');
    return t;
}

// Inserts t into at, kept by start time; after the records that start at
// the same time.
void vInsertByTime(std::vector<RecordTime>& at, const RecordTime& t) {
    const auto it =
        std::upper_bound(at.begin(), at.end(), t.nStartMicros,
                         [](int64_t n, const RecordTime& r) { return n < r.nStartMicros; });
    at.insert(it, t);
}

// The last record of at (by start time) that starts at or before nMicros;
// null when none does.
const RecordTime* pLastFrom(const std::vector<RecordTime>& at, int64_t nMicros) {
    const auto it =
        std::upper_bound(at.begin(), at.end(), nMicros,
                         [](int64_t n, const RecordTime& r) { return n < r.nStartMicros; });
    return it == at.begin() ? nullptr : &*(it - 1);
}

// A record of a rewritten day file: where it starts, and which record of
// the old file (bNew false) or of the run's new one it is.
struct SortedEntry {
    int64_t nStartMicros;
    bool bNew;
    int64_t nIndex;
};

// Writes the records of at, in that order, from nOld and nNew to nTo.
// Records that lie one after another in the same file are read at once,
// up to a buffer's worth; false with errno set on a failure.
bool bCopyInOrder(const std::vector<SortedEntry>& at, int nOld, int nNew, int nTo) {
    std::vector<unsigned char> ac(size_t{1} << 20);
    const size_t nMaxRun = ac.size() / nSeedRecordLength;
    size_t nFill = 0;
    for (size_t k = 0; k < at.size();) {
        size_t m = k + 1;
        while (m < at.size() && m - k < nMaxRun && at[m].bNew == at[k].bNew &&
               at[m].nIndex == at[m - 1].nIndex + 1)
            ++m;
        const size_t nBytes = (m - k) * nSeedRecordLength;
        if (nFill + nBytes > ac.size()) {
            if (!bWriteAll(nTo, ac.data(), nFill)) return false;
            nFill = 0;
        }
        if (!bReadAll(at[k].bNew ? nNew : nOld, ac.data() + nFill, nBytes,
                      at[k].nIndex * nSeedRecordLength))
            return false;
        nFill += nBytes;
        k = m;
    }
    return bWriteAll(nTo, ac.data(), nFill);
}

// True when the file open as nFile is as st says: no program appended to or
// changed it since.
bool bUnchanged(int nFile, const struct stat& st) {
    struct stat stNow;
    return fstat(nFile, &stNow) == 0 && stNow.st_size == st.st_size &&
           stNow.st_mtim.tv_sec == st.st_mtim.tv_sec && stNow.st_mtim.tv_nsec == st.st_mtim.tv_nsec;
}

}  // namespace

OutputOpening CArchiveSink::eOpen(std::vector<DayFile> atFiles, std::string& sError) {
    m_atFiles = std::move(atFiles);
    if (m_atFiles.size() > nMaxArmedOutputs / 2) {
        sError = "the run would write " + std::to_string(m_atFiles.size()) +
                 " day files, more than one run can hold open (" +
                 std::to_string(nMaxArmedOutputs / 2) + ")";
        return OutputOpening::Failed;
    }
    vAllowOpenFiles(4 * m_atFiles.size());
    const bool bMade = bMakeDayFolders(m_atFiles, m_asFolders, sError);
    vArmFolderRemoval(m_asFolders);
    if (!bMade) {
        vRestore();
        return OutputOpening::Failed;
    }
    m_atDays.resize(m_atFiles.size());
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
        // Under the lock: what a run that was stopped left beside the file.
        for (const char* sz : {"new", "sorted", "kept"}) unlink(sBeside(f.sPath, sz).c_str());
        m_mapFiles[{f.tCodes, f.nDay}] = i;
    }
    vSetInterruptMessage(m_sRoot, std::string("the archive ") + sFate());
    return OutputOpening::Opened;
}

bool CArchiveSink::bPlan(size_t i, DayFilePlan tPlan, std::string& sError) {
    Day& d = m_atDays[i];
    d.tPlan = std::move(tPlan);
    d.atHeldByTime = d.tPlan.atHeld;
    std::stable_sort(
        d.atHeldByTime.begin(), d.atHeldByTime.end(),
        [](const RecordTime& a, const RecordTime& b) { return a.nStartMicros < b.nStartMicros; });
    const std::string& sPath = m_atFiles[i].sPath;
    if (!d.tPlan.bReplace) {
        if (!d.tPlan.bCutTail || m_apSinks[i]->bCutTail(sError)) return true;
        sError = sPath + ": " + sError;
        return false;
    }
    d.sNewPath = sBeside(sPath, "new");
    d.sSortedPath = sBeside(sPath, "sorted");
    d.sKeptPath = sBeside(sPath, "kept");
    d.pNew = std::make_unique<COutputSink>();
    if (d.pNew->eOpen(d.sNewPath, sError, true) == OutputOpening::Opened) return true;
    d.pNew.reset();
    sError = sPath + ": cannot write a file beside it to keep it in time order: " + sError;
    return false;
}

size_t CArchiveSink::nFileOf(const unsigned char* pRecord, int64_t nDay) const {
    const auto it = m_mapFiles.find({tCodesOfRecord(pRecord), nDay});
    return it == m_mapFiles.end() ? m_atFiles.size() : it->second;
}

int32_t CArchiveSink::nNumberOfFirst(const unsigned char* pRecords, size_t nRecords, int64_t nDay) {
    const size_t i = nFileOf(pRecords, nDay);
    if (nRecords == 0 || i >= m_atFiles.size()) return 0;
    const Day& d = m_atDays[i];
    const int64_t nStart = tTimeOf(pRecords).nStartMicros;
    // The record before it in time order: a held one, or one of the run's
    // (which follow the held ones that start at the same time).
    const RecordTime* pHeld = pLastFrom(d.atHeldByTime, nStart);
    const RecordTime* pPut = pLastFrom(d.atPutByTime, nStart);
    const RecordTime* pBefore = pPut;
    if (pHeld != nullptr && (pPut == nullptr || pHeld->nStartMicros > pPut->nStartMicros))
        pBefore = pHeld;
    if (pBefore == nullptr || pBefore->nSequenceNumber < 0) return 1;
    return nSequenceNumber(int64_t{pBefore->nSequenceNumber} + 1);
}

void CArchiveSink::vPutRecords(const unsigned char* pRecords, size_t nRecords, int64_t nDay) {
    if (nRecords == 0) return;
    const size_t nFile = nFileOf(pRecords, nDay);
    if (nFile >= m_atFiles.size()) {
        if (m_sRouteError.empty())
            m_sRouteError = "records of " + sStreamName(tCodesOfRecord(pRecords)) +
                            " fall on a day no file was opened for";
        return;
    }
    Day& d = m_atDays[nFile];
    COutputSink& tSink = d.pNew ? *d.pNew : *m_apSinks[nFile];
    if (nFile != m_nCurrent) {
        // The day file left behind writes its batch now and frees it.
        Day& o = m_atDays[m_nCurrent];
        COutputSink& tLeft = o.pNew ? *o.pNew : *m_apSinks[m_nCurrent];
        std::string sIgnored;
        tLeft.bFlush(sIgnored);
        tLeft.vReleaseBatch();
        m_nCurrent = nFile;
    }
    for (size_t k = 0; k < nRecords; ++k) {
        const RecordTime t = tTimeOf(pRecords + k * nSeedRecordLength);
        d.atPut.push_back(t);
        vInsertByTime(d.atPutByTime, t);
    }
    m_nRecordsPut += static_cast<int64_t>(nRecords);
    tSink.vPutRecords(pRecords, nRecords, nDay);
}

bool CArchiveSink::bFlush(std::string& sError) {
    if (!m_sRouteError.empty()) {
        sError = m_sRouteError;
        return false;
    }
    for (size_t i = 0; i < m_apSinks.size(); ++i) {
        COutputSink& tSink = m_atDays[i].pNew ? *m_atDays[i].pNew : *m_apSinks[i];
        if (tSink.bFlush(sError)) continue;
        sError = m_atFiles[i].sPath + ": " + sError;
        return false;
    }
    return true;
}

bool CArchiveSink::bWriteInOrder(size_t i, int nTo, std::string& sError) {
    const Day& d = m_atDays[i];
    // Every record once: the file's (in its order) and the run's, sorted by
    // start time, the file's first where two start together.
    std::vector<SortedEntry> at;
    for (size_t k = 0; k < d.tPlan.atHeld.size(); ++k)
        at.push_back({d.tPlan.atHeld[k].nStartMicros, false, static_cast<int64_t>(k)});
    for (size_t k = 0; k < d.atPut.size(); ++k)
        at.push_back({d.atPut[k].nStartMicros, true, static_cast<int64_t>(k)});
    std::stable_sort(at.begin(), at.end(), [](const SortedEntry& a, const SortedEntry& b) {
        return a.nStartMicros < b.nStartMicros;
    });
    const int nOld = open(m_atFiles[i].sPath.c_str(), O_RDONLY | O_CLOEXEC);
    const int nNew = open(d.sNewPath.c_str(), O_RDONLY | O_CLOEXEC);
    const bool bOk = nOld >= 0 && nNew >= 0 && bCopyInOrder(at, nOld, nNew, nTo);
    if (!bOk) sError = std::strerror(errno != 0 ? errno : EIO);
    if (nOld >= 0) close(nOld);
    if (nNew >= 0) close(nNew);
    return bOk;
}

bool CArchiveSink::bReplace(size_t i, std::string& sError) {
    Day& d = m_atDays[i];
    const std::string& sPath = m_atFiles[i].sPath;
    const COutputFile& tOld = m_apSinks[i]->tFile();
    if (!d.pNew->bFlush(sError)) return false;
    d.nSorted = open(d.sSortedPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (d.nSorted < 0) {
        sError = std::string("cannot write beside it: ") + std::strerror(errno);
        return false;
    }
    // From here on a signal removes what was written beside the day file,
    // and, once it is replaced, puts the kept file back in its place.
    vArmReplacement(sPath, d.sKeptPath, {d.sSortedPath, d.sNewPath});
    errno = 0;
    // The file keeps the old one's owner where the run may give it (as root;
    // otherwise it is the run's user's anyway), and its permissions.
    (void)!fchown(d.nSorted, tOld.tOpened().st_uid, tOld.tOpened().st_gid);
    if (flock(d.nSorted, LOCK_EX | LOCK_NB) != 0 ||
        fchmod(d.nSorted, tOld.tOpened().st_mode & 07777) != 0 ||
        !bWriteInOrder(i, d.nSorted, sError) || fsync(d.nSorted) != 0) {
        if (sError.empty()) sError = std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    // Another program may append without a lock: the file must be as it
    // was read, or its new records would be lost.
    if (!bUnchanged(tOld.nFile(), tOld.tOpened())) {
        sError = "another program changed it while this run read it; run the command again";
        return false;
    }
    if (link(sPath.c_str(), d.sKeptPath.c_str()) != 0 ||
        rename(d.sSortedPath.c_str(), sPath.c_str()) != 0) {
        sError = std::string("cannot put it in time order: ") + std::strerror(errno);
        return false;
    }
    d.bReplaced = true;
    return bSyncFolder(sFolderOf(sPath), sError);
}

bool CArchiveSink::bPrepare(std::string& sError) {
    if (m_bPrepared) return true;
    bool bOk = bFlush(sError);
    for (size_t i = 0; i < m_apSinks.size() && bOk; ++i) {
        bOk = m_atDays[i].pNew ? (m_atDays[i].atPut.empty() || bReplace(i, sError))
                               : m_apSinks[i]->bSync(sError);
        if (!bOk) sError = m_atFiles[i].sPath + ": " + sError;
    }
    if (!bOk || !bSyncFolders(sError)) {
        vRestore();
        return false;
    }
    m_bPrepared = true;
    return true;
}

void CArchiveSink::vRemoveFolders() {
    for (size_t i = m_asFolders.size(); i > 0; --i) rmdir(m_asFolders[i - 1].c_str());
    m_asFolders.clear();
    vArmFolderRemoval(m_asFolders);
}

void CArchiveSink::vRestore() {
    for (size_t i = m_atDays.size(); i > 0; --i) {
        Day& d = m_atDays[i - 1];
        if (!d.sKeptPath.empty()) vPutReplacementBack(m_atFiles[i - 1].sPath);
        if (d.nSorted >= 0) close(d.nSorted);
        d.nSorted = -1;
        if (d.pNew) d.pNew->vRestore();
    }
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
    if (!bPrepare(sError)) return false;
    for (size_t i = 0; i < m_apSinks.size(); ++i) {
        if (m_apSinks[i]->bCloseKeepingLock(sError)) continue;
        // The data may not have arrived: every day file is put back, none
        // having let its lock go yet.
        sError = m_atFiles[i].sPath + ": " + sError;
        vRestore();
        return false;
    }
    vReleaseAll();
    return true;
}

void CArchiveSink::vReleaseAll() {
    std::set<std::string> setFolders;
    for (size_t i = 0; i < m_atDays.size(); ++i) {
        Day& d = m_atDays[i];
        if (d.pNew) d.pNew->vRestore();  // the run's records are in the day file now
        if (d.bReplaced && unlink(d.sKeptPath.c_str()) == 0)
            setFolders.insert(sFolderOf(d.sKeptPath));
        if (d.nSorted >= 0) close(d.nSorted);
        d.nSorted = -1;
    }
    vDisarmReplacements();
    for (const std::unique_ptr<COutputSink>& p : m_apSinks) p->vRelease();
    // The kept files' names gone from the disk too; a failure leaves only
    // names a later run removes.
    std::string sIgnored;
    for (const std::string& s : setFolders) bSyncFolder(s, sIgnored);
    // Every day file holds records now; no folder may go any more.
    m_asFolders.clear();
    vArmFolderRemoval(m_asFolders);
}

std::string CArchiveSink::sFate() const {
    return "is left as it was (the day files and folders this run made are removed)" + sFateNote();
}
