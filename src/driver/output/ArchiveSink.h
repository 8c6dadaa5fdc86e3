// The records of a run into the day files of an archive: each record goes
// to the day file of its stream and day. Every day file is one
// COutputSink, opened and locked as the single output is, and every lock is
// held until every day file of the run is closed, so a failure at any point
// puts all of them back. A day file into which the run's records fit after
// what it holds is appended to; one where they belong before or among its
// records, or whose records are out of order, is replaced whole: the run's
// records go into a file beside it, and at the end a copy of both in time
// order is written, synced and locked beside it and renamed over it, the
// old file kept under another name until the run ends. The folders the run
// made are removed again when it fails.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "driver/channel/RecordTime.h"
#include "driver/output/ArchiveLayout.h"
#include "driver/output/OutputSink.h"
#include "driver/output/RunOutput.h"

// How the run writes into one day file, as what it holds decides.
struct DayFilePlan {
    bool bReplace = false;  // put in time order with the records it holds, in a file replacing it
    bool bCutTail = false;  // the remains of a record cut short at its end are cut off first
    std::vector<RecordTime> atHeld;  // its records, in file order
};

class CArchiveSink : public CRunOutput {
public:
    explicit CArchiveSink(std::string sRoot) : m_sRoot(std::move(sRoot)) {}

    // Makes the missing folders and opens the day files atFiles (sorted by
    // path, so that runs take their locks in one order) for appending, and
    // removes what an earlier run that was stopped left beside them. When
    // one cannot be opened, puts back what was done and says why in
    // sError, naming the file.
    OutputOpening eOpen(std::vector<DayFile> atFiles, std::string& sError);
    const std::vector<DayFile>& atFiles() const { return m_atFiles; }
    const COutputFile& tFile(size_t i) const { return m_apSinks[i]->tFile(); }

    // How the run writes into day file i; before any record is put. False
    // with sError (naming the file) when it cannot be done: the tail cannot
    // be cut, or no file can be made beside it.
    bool bPlan(size_t i, DayFilePlan tPlan, std::string& sError);

    // The number of a record that joins the records of its day file: one
    // after the record before it in time order, whoever wrote it.
    int32_t nNumberOfFirst(const unsigned char* pRecords, size_t nRecords, int64_t nDay) override;
    void vPutRecords(const unsigned char* pRecords, size_t nRecords, int64_t nDay) override;
    bool bFlush(std::string& sError) override;
    // Writes what is waiting, syncs every day file and puts each file to be
    // replaced in time order in its place, its folder synced: after it, the
    // day files hold what the run leaves. Everything can still be put back.
    bool bPrepare(std::string& sError);
    void vRestore() override;
    // bPrepare, then closes every day file, keeping the locks until all are
    // closed; false with sError when any fails (everything is put back).
    bool bClose(std::string& sError) override;
    int64_t nRecordsAppended() const override { return m_nRecordsPut; }
    const char* szKind() const override { return "archive"; }
    std::string sFate() const override;

private:
    // A day file's state beyond its sink.
    struct Day {
        DayFilePlan tPlan;
        std::vector<RecordTime> atHeldByTime;  // its records before the run, by start time
        std::vector<RecordTime> atPutByTime;   // the run's records, by start time
        std::vector<RecordTime> atPut;         // the run's records, as put
        std::unique_ptr<COutputSink> pNew;     // to be replaced: the run's records
        std::string sNewPath, sSortedPath, sKeptPath;
        int nSorted = -1;  // the file in time order, open and locked
        bool bReplaced = false;
    };

    // The day file of a record with codes at pRecord on day nDay; the
    // number of files when there is none.
    size_t nFileOf(const unsigned char* pRecord, int64_t nDay) const;
    // Writes day file i's records and the run's in time order beside it,
    // and renames that over it.
    bool bReplace(size_t i, std::string& sError);
    // Writes the records of day file i and of the run in time order into
    // the open file nTo.
    bool bWriteInOrder(size_t i, int nTo, std::string& sError);
    // Removes the folders this run made, the deepest first.
    void vRemoveFolders();
    // Syncs the folders that hold the folders this run made, and those of
    // replaced day files.
    bool bSyncFolders(std::string& sError);
    // After success: removes the replaced files kept, and lets every file go.
    void vReleaseAll();

    std::string m_sRoot;
    std::vector<DayFile> m_atFiles;
    std::vector<std::unique_ptr<COutputSink>> m_apSinks;
    std::vector<Day> m_atDays;
    std::map<std::pair<StreamCodes, int64_t>, size_t> m_mapFiles;
    std::vector<std::string> m_asFolders;  // made by this run, parents first
    size_t m_nCurrent = 0;                 // the day file the last records went to
    int64_t m_nRecordsPut = 0;
    bool m_bPrepared = false;
    std::string m_sRouteError;  // a record that has no day file
};
