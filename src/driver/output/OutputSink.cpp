// Writing the run's records: gathered in one batch, written in large writes
// at the output's end. A write that fails or writes nothing is kept with its
// errno (EIO when the system gave none) and stops all later writes.
#include "driver/output/OutputSink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "driver/process/Rollback.h"
#include "mseed/SeedRecord.h"

namespace {

// Bytes gathered before a write: a few large writes cost less than one per
// segment.
constexpr size_t nWriteBatchBytes = size_t{1} << 18;

// Bytes read back at a time: whole records.
constexpr int64_t nReadBackBytes = int64_t{1} << 20;

}  // namespace

OutputOpening COutputSink::eOpen(const std::string& sPath, std::string& sError, bool bShared) {
    const OutputOpening eResult = m_tFile.eOpen(sPath, sError, bShared);
    // Records go behind whatever the file holds. A pipe or a device has no
    // end to seek to, and needs none.
    if (eResult == OutputOpening::Opened) lseek(m_tFile.nFile(), 0, SEEK_END);
    return eResult;
}

void COutputSink::vPutRecords(const unsigned char* pRecords, size_t nRecords, int64_t) {
    const size_t nBytes = nRecords * nSeedRecordLength;
    if (m_acBatch.capacity() == 0) m_acBatch.reserve(nWriteBatchBytes + (size_t{1} << 17));
    m_acBatch.insert(m_acBatch.end(), pRecords, pRecords + nBytes);
    if (m_acBatch.size() < nWriteBatchBytes) return;
    vWriteOut(m_acBatch.data(), m_acBatch.size());
    vStartWriteback(m_acBatch.size());
    m_acBatch.clear();
}

// Starts the disk writes of the batch just written, without waiting for them,
// so that the sync that ends the run finds little left to do. Only a hint: a
// pipe or a system without it is simply not asked.
void COutputSink::vStartWriteback(size_t nBytes) {
#ifdef SYNC_FILE_RANGE_WRITE
    if (m_nWriteError != 0) return;
    const auto nLength = static_cast<int64_t>(nBytes);
    sync_file_range(m_tFile.nFile(), m_tFile.nAppendFrom() + m_nAppended - nLength, nLength,
                    SYNC_FILE_RANGE_WRITE);
#else
    (void)nBytes;
#endif
}

bool COutputSink::bFlush(std::string& sError) {
    vWriteOut(m_acBatch.data(), m_acBatch.size());
    m_acBatch.clear();
    if (m_nWriteError == 0) return true;
    sError = std::strerror(m_nWriteError);
    return false;
}

void COutputSink::vReleaseBatch() {
    std::vector<unsigned char>().swap(m_acBatch);
}

bool COutputSink::bReadBack(const RecordReader& fnRecords, std::string& sError) {
    return bReadBackRecords(0, nRecordsAppended(), fnRecords, sError);
}

bool COutputSink::bReadBackRecords(int64_t nFirst, int64_t nCount, const RecordReader& fnRecords,
                                   std::string& sError) {
    if (!bFlush(sError) || !m_tFile.bSync(sError)) return false;
    // Offset 0 and length 0: the whole file, a partial last page included.
    posix_fadvise(m_tFile.nFile(), 0, 0, POSIX_FADV_DONTNEED);
    const int nRead = open(m_tFile.sPath().c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st, stWritten;
    if (nRead < 0 || fstat(nRead, &st) != 0 || fstat(m_tFile.nFile(), &stWritten) != 0 ||
        st.st_dev != stWritten.st_dev || st.st_ino != stWritten.st_ino) {
        sError = std::string("cannot read it back: ") +
                 (nRead < 0 ? std::strerror(errno) : "its name now names another file");
        if (nRead >= 0) close(nRead);
        return false;
    }
    std::vector<unsigned char> ac(nReadBackBytes);
    bool bOk = true;
    const int64_t nFrom = m_tFile.nAppendFrom() + nFirst * nSeedRecordLength;
    const int64_t nBytes = nCount * nSeedRecordLength;
    for (int64_t n = 0; n < nBytes && bOk;) {
        const size_t nWant = static_cast<size_t>(std::min<int64_t>(nBytes - n, nReadBackBytes));
        const ssize_t nGot = pread(nRead, ac.data(), nWant, nFrom + n);
        if (nGot < 0 && errno == EINTR) continue;
        if (nGot <= 0 || nGot % nSeedRecordLength != 0) {
            sError = std::string("cannot read it back: ") +
                     (nGot < 0 ? std::strerror(errno) : "the file ends early");
            bOk = false;
            break;
        }
        n += nGot;
        if (!fnRecords(ac.data(), static_cast<size_t>(nGot) / nSeedRecordLength)) break;
    }
    close(nRead);
    return bOk;
}

bool COutputSink::bClose(std::string& sError) {
    if (!bFlush(sError)) {
        m_tFile.vRestore();
        return false;
    }
    return m_tFile.bClose(sError);
}

void COutputSink::vWriteOut(const unsigned char* p, size_t nBytes) {
    if (m_nWriteError != 0) return;
    while (nBytes > 0) {
        errno = 0;
        const ssize_t nWritten = ::write(m_tFile.nFile(), p, nBytes);
        if (nWritten < 0 && errno == EINTR) continue;
        if (nWritten <= 0) {
            m_nWriteError = (nWritten < 0 && errno != 0) ? errno : EIO;
            return;
        }
        p += nWritten;
        nBytes -= static_cast<size_t>(nWritten);
        m_nAppended += nWritten;
    }
}

std::string COutputSink::sFate() const {
    return sOutputFate(m_tFile.bCreated());
}
