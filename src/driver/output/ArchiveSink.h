// The records of a run into the day files of an archive: each record goes
// to the day file of its stream and day. Every day file is one
// COutputSink, opened, locked and put back as the single output is; the
// folders the run made are removed again when it fails.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "driver/output/ArchiveLayout.h"
#include "driver/output/OutputSink.h"
#include "driver/output/RunOutput.h"

class CArchiveSink : public CRunOutput {
public:
    explicit CArchiveSink(std::string sRoot) : m_sRoot(std::move(sRoot)) {}

    // Makes the missing folders and opens the day files atFiles (sorted by
    // path, so that runs take their locks in one order) for appending.
    // When one cannot be opened, puts back what was done and says why in
    // sError, naming the file.
    OutputOpening eOpen(std::vector<DayFile> atFiles, std::string& sError);
    const std::vector<DayFile>& atFiles() const { return m_atFiles; }
    const COutputFile& tFile(size_t i) const { return m_apSinks[i]->tFile(); }

    void vPutRecords(const unsigned char* pRecords, size_t nRecords, int64_t nDay) override;
    bool bFlush(std::string& sError) override;
    bool bReadBack(const RecordReader& fnRecords, std::string& sError) override;
    void vRestore() override;
    bool bClose(std::string& sError) override;
    int64_t nRecordsAppended() const override;
    const char* szKind() const override { return "archive"; }
    std::string sFate() const override;

private:
    // Runs of records as they were handed over: nCount records of day file
    // nFile from its nFirst-th appended record on.
    struct Piece {
        size_t nFile;
        int64_t nFirst;
        int64_t nCount;
    };

    // Removes the folders this run made, the deepest first.
    void vRemoveFolders();
    // Syncs the folders that hold the folders this run made.
    bool bSyncFolders(std::string& sError);

    std::string m_sRoot;
    std::vector<DayFile> m_atFiles;
    std::vector<std::unique_ptr<COutputSink>> m_apSinks;
    std::map<std::pair<StreamCodes, int64_t>, size_t> m_mapFiles;
    std::vector<std::string> m_asFolders;  // made by this run, parents first
    std::vector<Piece> m_atPieces;
    size_t m_nCurrent = 0;      // the day file the last records went to
    std::string m_sRouteError;  // a record that has no day file
};
