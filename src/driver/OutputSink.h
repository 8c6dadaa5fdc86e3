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

#include "driver/OutputFile.h"
#include "segments/RecordSink.h"

class COutputSink : public CRecordSink {
public:
    COutputSink() = default;
    COutputSink(const COutputSink&) = delete;
    COutputSink& operator=(const COutputSink&) = delete;

    // Opens the output as COutputFile::eOpen does, ready to append.
    OutputOpening eOpen(const std::string& sPath, std::string& sError);
    const COutputFile& tFile() const { return m_tFile; }
    // Records written behind the file's old end so far.
    int64_t nRecordsAppended() const { return m_nAppended / 512; }

    // Gathers the records; writes them once a quarter megabyte is waiting.
    void vPutRecords(const unsigned char* pRecords, size_t nRecords) override;
    // Writes every record still waiting. False once any write has failed;
    // sError then says why.
    bool bFlush(std::string& sError);

    // Reads back, from the disk where the file system allows, the records
    // this run appended, once they are written and synced: the file's
    // cached pages are dropped first. Hands them to fnRecords a batch at a
    // time (records, count) until it returns false. False with sError when
    // they cannot be read back.
    bool bReadBack(const std::function<bool(const unsigned char*, size_t)>& fnRecords,
                   std::string& sError);

    // Puts the file back as it was before the run (COutputFile::vRestore).
    void vRestore() { m_tFile.vRestore(); }
    // Writes what is waiting and closes the file, keeping its new content;
    // false with sError when that fails (the file is then put back).
    bool bClose(std::string& sError);

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
