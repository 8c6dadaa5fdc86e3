// The segment writer: gathers runs of 32-bit samples, keyed by station and
// channel name, into contiguous segments of at most 9900 samples and hands
// each finished segment to the flush (SegmentFlush.cpp), which writes it as
// 512-byte MiniSEED records to the writer's output descriptor.
//
// A writer owns its station entries, each entry its channel segments. The
// writer never opens, seeks or closes its descriptor. The first failed write
// is kept (nWriteError) and stops all further writes of this writer.
//
// With more than one thread, flushed segments are encoded on worker threads
// while the calling thread numbers, prints and writes them in flush order:
// the console text and the bytes written are those of one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "segments/CPtrArray.h"
#include "segments/CText.h"
#include "segments/SegmentFlush.h"
#include "segments/SegmentPipeline.h"
#include "timeconv/CalendarTime.h"

// Samples passed on to vAddChunk at most at once, and held by a segment at
// most when a chunk is appended to it.
constexpr int nMaxChunkSamples = 10000;
constexpr int nMaxSegmentSamples = 9900;

// The pending samples of one channel. The sample buffer is part of the
// object, so a segment is allocated once and reused after every flush.
class CChannelSegment : public CArrayItem {
public:
    // Starts empty, named by a copy of strName, at dSampleRate samples/s.
    CChannelSegment(CText strName, double dSampleRate);

    double dSampleRate;                  // replaced by the rate of every chunk that reaches it
    CText strName;                       // the channel name as first given
    EpochTime tStart = 0;                // time of the first held sample; 0 when empty
    double dDuration = 0;                // seconds covered by the held samples; 0 when empty
    int nSampleCount = 0;                // held samples, 0 .. nMaxChunkSamples
    int32_t anBuffer[nMaxChunkSamples];  // held samples, oldest first
};

// One station within a writer and its channels in order of first use.
class CStationEntry : public CArrayItem {
public:
    explicit CStationEntry(CText strName);
    // Deletes the channel segments, first segment first.
    ~CStationEntry() override;

    CChannelSegment* pGetChannel(int i) const {
        return static_cast<CChannelSegment*>(arrChannels[i]);
    }
    int nGetChannelCount() const { return arrChannels.nGetCount(); }

    CText strName;          // the station name as first given
    CPtrArray arrChannels;  // owned CChannelSegment pointers
};

class CSeedWriter {
public:
    // An empty writer on the open output descriptor nFile; records are
    // numbered from 000001. With pWorkers (not owned; used by one writer at
    // a time), segments are encoded on its threads.
    explicit CSeedWriter(int nFile, CSegmentPipeline* pWorkers = nullptr);
    CSeedWriter(const CSeedWriter&) = delete;
    CSeedWriter& operator=(const CSeedWriter&) = delete;
    // Deletes every station entry, first entry first. Does not flush: samples
    // still held are dropped; segments already flushed are written.
    virtual ~CSeedWriter();

    // Adds nCount samples (copied; nCount >= 0) taken at dSpS samples per
    // second, the first at tBegin, in chunks of at most 10000 samples. Prints
    // one "nCount: ..." line per chunk on standard output.
    void vAddSamples(const char* szStation, const char* szChannel, double dSpS, EpochTime tBegin,
                     int64_t nCount, const int32_t* pnSamples);
    // Writes samples nFirst .. nFirst + nCount - 1 of a run to pnOut.
    using SampleFill = ::SampleFill;
    // As vAddSamples, with the same chunks and console lines, for a run that
    // is not held in one array: each chunk is fetched by fnFill when it is
    // added, so a long run needs no memory of its own.
    void vAddSamplesFrom(const char* szStation, const char* szChannel, double dSpS,
                         EpochTime tBegin, int64_t nCount, const SampleFill& fnFill);
    // Adds one chunk whose first sample was taken at tChunk: appends it to the
    // channel's segment when it continues it within one sample period, the
    // total stays at or below 9900 and the rate is above 1.0; otherwise
    // flushes the held samples and starts a new segment with the chunk.
    // A chunk of more than 10000 samples is taken as consecutive chunks.
    void vAddChunk(const char* szStation, const char* szChannel, double dSpS, EpochTime tChunk,
                   int nChunk, const int32_t* pnSamples);
    // Index of the station entry named szStation (ASCII case ignored),
    // created if absent.
    int nFindStation(const char* szStation);
    // Index of the channel segment named szChannel (ASCII case ignored) in
    // station entry nStation, created with rate dSpS if absent.
    int nFindChannel(int nStation, const char* szChannel, double dSpS);
    // Writes the samples of segment nChannel of station entry nStation as
    // records and empties it; an empty segment gives nothing. Defined in
    // SegmentFlush.cpp.
    void vFlushSegment(int nStation, int nChannel);
    // Flushes every segment, stations and their channels in index order, and
    // returns once every flushed segment is written.
    void vFlushAll();
    // Sets the network code that every record flushed from now on carries:
    // the first two characters of szNetwork, blank-padded ("" for blank,
    // as a new writer has it).
    void vSetNetwork(const char* szNetwork);

    // The errno of the first write that failed or wrote nothing (EIO when the
    // system gave no reason); 0 while every write succeeded. After a failure
    // the writer writes nothing more, but still numbers and reports records.
    int nWriteError() const { return m_nWriteError; }
    // Number of the next record a flush writes.
    int nGetNextBlock() const { return nNextBlock; }
    int nGetStationCount() const { return arrStations.nGetCount(); }
    CStationEntry* pGetStation(int i) const { return static_cast<CStationEntry*>(arrStations[i]); }

private:
    // The chunk loop of vAddSamples: fnChunk(n, c) gives the c samples from
    // index n of the run.
    void vAddRun(const char* szStation, const char* szChannel, double dSpS, EpochTime tBegin,
                 int64_t nCount, const std::function<const int32_t*(int64_t n, int c)>& fnChunk);
    // vAddSamplesFrom with workers, for a run of two chunks or more.
    void vAddRunDeferred(const char* szStation, const char* szChannel, double dSpS,
                         EpochTime tBegin, int64_t nCount, const SampleFill& fnFill);
    // Queues chunk (nFirst, nCount) of a run, taken at tChunk, as a segment
    // of its own whose samples the worker fetches.
    void vDispatchDeferred(const char* szStation, const char* szChannel, double dSpS,
                           EpochTime tChunk, int64_t nFirst, int nCount, const SampleFill& fnFill);
    // A job for the workers with the segment's names, rate and start; first
    // emits the oldest queued segment when the queue is full.
    std::unique_ptr<SegmentJob> pStartJob(const char* szStation, const char* szChannel,
                                          double dRate, EpochTime tStart);
    // Prints the console line of a chunk, in order with the segments.
    void vChunkLine(int nChunk, double dSpS, EpochTime tBegin, EpochTime tChunk);
    // Encodes the held samples of g (of station szStation) and writes them,
    // or, with workers, queues them for encoding. Defined in SegmentFlush.cpp.
    void vDispatchSegment(const char* szStation, const CChannelSegment& g);
    // Numbers the records of t from the next record number, prints the
    // segment's console lines, writes the records. Defined in SegmentFlush.cpp.
    void vEmitSegment(EncodedSegment& t);
    // Emits the oldest queued segment and the text that follows it.
    void vEmitOldest();
    // Console text in order with the segments: printed now, or after the
    // newest segment still queued.
    void vConsole(const std::string& sText);
    // Writes nBytes to the output: at once, or, with workers, gathered in
    // their write batch of a quarter megabyte (fewer, larger writes).
    void vWriteAll(const void* pData, size_t nBytes);
    // Writes out the workers' write batch, if any.
    void vWritePending();
    // Writes all nBytes, continuing after partial writes and retrying EINTR;
    // records the first failure and skips the write after one.
    void vWriteOut(const void* pData, size_t nBytes);

    CPtrArray arrStations;          // owned CStationEntry pointers, in order of first use
    int nFile;                      // the output descriptor
    int nNextBlock = 1;             // number of the next record written
    int m_nWriteError = 0;          // errno of the first failed write, 0 when none
    EncodedSegment m_tEncoded;      // the serial path's encoder output
    CSegmentPipeline* m_pPipeline;  // the workers, when there are any
    // The network code every flushed record carries, blank-padded.
    char m_acNetwork[2] = {' ', ' '};
};
