// Writing the run's records: gathered in one batch, written in large writes
// at the output's end. A write that fails or writes nothing is kept with its
// errno (EIO when the system gave none) and stops all later writes.
#include "driver/OutputSink.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "mseed/SeedRecord.h"

namespace {

// Bytes gathered before a write: a few large writes cost less than one per
// segment.
constexpr size_t nWriteBatchBytes = size_t{1} << 18;

}  // namespace

OutputOpening COutputSink::eOpen(const std::string& sPath, std::string& sError) {
    const OutputOpening eResult = m_tFile.eOpen(sPath, sError);
    // Records go behind whatever the file holds. A pipe or a device has no
    // end to seek to, and needs none.
    if (eResult == OutputOpening::Opened) lseek(m_tFile.nFile(), 0, SEEK_END);
    m_acBatch.reserve(nWriteBatchBytes + (size_t{1} << 17));
    return eResult;
}

void COutputSink::vPutRecords(const unsigned char* pRecords, size_t nRecords) {
    const size_t nBytes = nRecords * nSeedRecordLength;
    m_acBatch.insert(m_acBatch.end(), pRecords, pRecords + nBytes);
    if (m_acBatch.size() < nWriteBatchBytes) return;
    vWriteOut(m_acBatch.data(), m_acBatch.size());
    m_acBatch.clear();
}

bool COutputSink::bFlush(std::string& sError) {
    vWriteOut(m_acBatch.data(), m_acBatch.size());
    m_acBatch.clear();
    if (m_nWriteError == 0) return true;
    sError = std::strerror(m_nWriteError);
    return false;
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
    }
}
