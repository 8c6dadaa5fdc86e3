// The segment writer: gathers stretches of 32-bit samples, keyed by station and
// channel name, into contiguous segments and turns each finished segment
// into numbered 512-byte MiniSEED records, which it prints progress lines
// for and hands to its record sink.
//
// A writer owns its station entries, each entry its channel segments. It
// knows no descriptor: records go to the sink (RecordSink.h). Segments are
// encoded through the run's segment queue (SegmentQueue.h), on the run's
// worker threads when it has any; the writer numbers, prints and hands on
// the records in flush order, so the console text and the records are those
// of a run on one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "segments/CPtrArray.h"
#include "segments/CText.h"
#include "segments/HeldSamples.h"
#include "segments/RecordSink.h"
#include "segments/SegmentQueue.h"
#include "timeconv/CalendarTime.h"

// Samples passed on to vAddChunk at most at once, and the most a segment
// holds: a chunk starts a segment of up to 10000 samples, and is appended
// to a held segment only while the total stays at or below 9900.
constexpr int nMaxChunkSamples = 10000;
constexpr int nMaxAppendedSamples = 9900;

// The pending samples of one channel. The sample buffer is part of the
// object, so a segment is allocated once and reused after every flush.
class CChannelSegment : public CArrayItem {
public:
    // Starts empty, named by a copy of strName, at dSampleRate samples/s.
    CChannelSegment(CText strName, double dSampleRate);

    double dSampleRate;                  // replaced by the rate of every chunk that reaches it
    CText strName;                       // the channel name as first given
    EpochTime tStart = 0;                // time of the first held sample; 0 when empty
    int64_t nStretchStartMicros = 0;     // the first held sample is sample nFirstSample of
    int64_t nFirstSample = 0;            // the stretch that started at nStretchStartMicros
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
    // An empty writer whose records go to tSink, encoded through tQueue
    // (both not owned; the queue serves one writer at a time); records are
    // numbered from 000001.
    CSeedWriter(CRecordSink& tSink, CSegmentQueue& tQueue);
    CSeedWriter(const CSeedWriter&) = delete;
    CSeedWriter& operator=(const CSeedWriter&) = delete;
    // Deletes every station entry, first entry first. Does not flush: samples
    // still held are dropped; segments already flushed go to the sink.
    ~CSeedWriter();

    // Adds nCount samples (copied; nCount >= 0) taken at dSpS samples per
    // second, the first at tBegin, in chunks of at most 10000 samples. Prints
    // one "nCount: ..." line per chunk on standard output.
    void vAddSamples(const char* szStation, const char* szChannel, double dSpS, EpochTime tBegin,
                     int64_t nCount, const int32_t* pnSamples);
    // As vAddSamples, with the same chunks and console lines, for a stretch
    // that is not held in one array: chunks that form segments of their own
    // are fetched by fnFill when they are encoded, on any thread, so a long stretch
    // needs no memory of its own. fnFill must stay callable until vFlushAll
    // has returned.
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
    // Turns the samples of segment nChannel of station entry nStation into
    // records and empties it; an empty segment gives nothing.
    void vFlushSegment(int nStation, int nChannel);
    // Flushes every segment, stations and their channels in index order, and
    // returns once every flushed segment's records are with the sink.
    void vFlushAll();
    // Sets the network code that every record flushed from now on carries:
    // the first two characters of szNetwork, blank-padded ("" for blank,
    // as a new writer has it).
    void vSetNetwork(const char* szNetwork);
    // Sets the location code of the records flushed from now on, as
    // vSetNetwork does the network code.
    void vSetLocation(const char* szLocation);
    // From now on, records are kept to UTC days: a segment that runs over
    // midnight is cut at its first sample at or after 00:00:00 into two,
    // and records are numbered from 000001 in each day (unless the sink
    // numbers them, nNumberOfFirst).
    void vKeepToDays();
    // From now on only the samples pHeld does not hold are encoded; the
    // others make no record and no record lines. pHeld must outlive the
    // writer's last flush.
    void vSetHeld(const CHeldSamples* pHeld);

    // Number of the next record a flush makes.
    int nGetNextBlock() const { return nNextBlock; }
    int nGetStationCount() const { return arrStations.nGetCount(); }
    CStationEntry* pGetStation(int i) const { return static_cast<CStationEntry*>(arrStations[i]); }

private:
    // vAddChunk for a chunk of at most 10000 samples whose first sample is
    // sample nFirstSample of a stretch that started at nStretchStartMicros
    // (which times the records: tChunk serves the continuity test).
    void vAddStretchChunk(const char* szStation, const char* szChannel, double dSpS,
                          EpochTime tChunk, int64_t nStretchStartMicros, int64_t nFirstSample,
                          int nChunk, const int32_t* pnSamples);
    // vAddSamplesFrom for a stretch of two chunks or more.
    void vAddStretchDeferred(const char* szStation, const char* szChannel, double dSpS,
                             EpochTime tBegin, int64_t nCount, const SampleFill& fnFill);
    // A job for the segment of station szStation and channel szChannel at
    // dSampleRate samples/s whose first sample is sample nFirstSample of the
    // stretch that started at nStretchStartMicros.
    std::unique_ptr<CSegmentJob> pNewJob(const char* szStation, const char* szChannel,
                                         double dSampleRate, int64_t nStretchStartMicros,
                                         int64_t nFirstSample);
    // Queues a filled job, cut at midnight first when the writer keeps to
    // days; emits the oldest segments while the queue is over its bound.
    void vQueue(std::unique_ptr<CSegmentJob> pJob);
    // Cuts from tJob the samples from the first one at or after the midnight
    // that ends its first sample's day, as a job of their own; null when
    // tJob ends before that midnight.
    std::unique_ptr<CSegmentJob> pCutAtMidnight(CSegmentJob& tJob);
    // Prints the console line of a chunk, in order with the segments.
    void vChunkLine(int nChunk, double dSpS, EpochTime tBegin, EpochTime tChunk);
    // Numbers the records of t from the next record number, prints the
    // segment's console lines and hands the records to the sink.
    void vEmitSegment(CSegmentJob& t);
    // Emits the oldest queued segment and the text that follows it.
    void vEmitOldest();
    // Console text in order with the segments: printed now, or after the
    // newest segment still queued.
    void vConsole(const char* szText);

    CPtrArray arrStations;  // owned CStationEntry pointers, in order of first use
    CRecordSink& tSink;     // where the records go
    CSegmentQueue& tQueue;  // where segments are encoded
    int nNextBlock = 1;     // number of the next record made
    std::string sNetwork;   // the network code every flushed record carries
    std::string sLocation;  // the location code every flushed record carries
    bool bKeepToDays = false;
    const CHeldSamples* pHeld = nullptr;       // what the output holds already; null: nothing
    std::map<int64_t, int> mapNextBlockOfDay;  // when keeping to days
};
