// The run's record sink: the output file, and the records a run appends to
// it. Records are gathered and written a quarter megabyte at a time behind
// the file's old end; the first write that fails is kept and ends all
// writing, so nothing follows a hole. The file itself (its lock, and what
// putting it back needs) is the sink's COutputFile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "driver/output/OutputFile.h"
#include "driver/output/RunOutput.h"

// Takes records read back (records, count); false to stop reading.
using RecordReader = std::function<bool(const unsigned char*, size_t)>;

class COutputSink : public CRunOutput {
public:
    COutputSink() = default;
    COutputSink(const COutputSink&) = delete;
    COutputSink& operator=(const COutputSink&) = delete;

    // Opens the output as COutputFile::eOpen does, ready to append.
    OutputOpening eOpen(const std::string& sPath, std::string& sError, bool bShared = false);
    const COutputFile& tFile() const { return m_tFile; }
    // Records written behind the file's old end so far.
    int64_t nRecordsAppended() const override { return m_nAppended / 512; }
    // Records handed over and not yet written.
    int64_t nRecordsWaiting() const { return static_cast<int64_t>(m_acBatch.size()) / 512; }

    // Gathers the records; writes them once a quarter megabyte is waiting.
    void vPutRecords(const unsigned char* pRecords, size_t nRecords, int64_t nDay) override;
    // Writes every record still waiting. False once any write has failed;
    // sError then says why.
    bool bFlush(std::string& sError) override;
    // Writes what is waiting and forces it onto the disk (COutputFile::bSync).
    bool bSync(std::string& sError) { return bFlush(sError) && m_tFile.bSync(sError); }
    // Gives back the memory of the batch (flushed); the next record takes it again.
    void vReleaseBatch();

    // Reads back, from the disk where the file system allows, the records
    // this run appended, once they are written and synced: the file's
    // cached pages are dropped first. Hands them to fnRecords a batch at a
    // time (records, count) until it returns false. False with sError when
    // they cannot be read back.
    bool bReadBack(const RecordReader& fnRecords, std::string& sError);
    // As bReadBack, for the nCount records appended from record nFirst on.
    bool bReadBackRecords(int64_t nFirst, int64_t nCount, const RecordReader& fnRecords,
                          std::string& sError);

    // Puts the file back as it was before the run (COutputFile::vRestore).
    void vRestore() override { m_tFile.vRestore(); }
    // Cuts off a record cut short at the file's end (COutputFile::bCutTail).
    bool bCutTail(std::string& sError) { return m_tFile.bCutTail(sError); }
    // Writes what is waiting and closes the file, keeping its lock until
    // vRelease (COutputFile::bCloseKeepingLock).
    bool bCloseKeepingLock(std::string& sError) {
        return bFlush(sError) && m_tFile.bCloseKeepingLock(sError);
    }
    void vRelease() { m_tFile.vRelease(); }
    // Writes what is waiting and closes the file, keeping its new content;
    // false with sError when that fails (the file is then put back).
    bool bClose(std::string& sError) override;
    const char* szKind() const override { return "file"; }
    std::string sFate() const override;

private:
    void vStartWriteback(size_t nBytes);
    // Writes all nBytes, continuing after partial writes and retrying EINTR;
    // keeps the first failure and writes nothing after one.
    void vWriteOut(const unsigned char* p, size_t nBytes);

    COutputFile m_tFile;
    std::vector<unsigned char> m_acBatch;  // records gathered, not yet written
    int m_nWriteError = 0;                 // errno of the first failed write, 0 when none
    int64_t m_nAppended = 0;               // bytes written behind the file's old end
};
