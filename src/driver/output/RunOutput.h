// What a conversion run writes its records into: one output file
// (COutputSink) or the day files of an archive (CArchiveSink). Either is
// appended to all or not at all: until bClose succeeds, vRestore puts
// everything back as it was before the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "segments/RecordSink.h"

class CRunOutput : public CRecordSink {
public:
    // Writes every record still waiting; false with sError once a write failed.
    virtual bool bFlush(std::string& sError) = 0;
    // Puts everything the run touched back as it was.
    virtual void vRestore() = 0;
    // Writes what is waiting, syncs and closes, keeping the new content;
    // false with sError when that fails (everything is then put back).
    virtual bool bClose(std::string& sError) = 0;
    virtual int64_t nRecordsAppended() const = 0;
    // What the output is, and what a failure leaves of it, for messages:
    // "the " + szKind() + " " + sFate(), as in "the file is left as it was".
    virtual const char* szKind() const = 0;
    virtual std::string sFate() const = 0;
};
