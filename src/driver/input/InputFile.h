// The input recording, mapped into memory whole and read once.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

class CInputFile {
public:
    CInputFile() = default;
    ~CInputFile();
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    // Maps the regular file at sPath read-only. On failure returns false with
    // sError set to the reason; pBytes() is then null unless the file was
    // read (an empty file reads as no bytes, never as null).
    bool bOpen(const std::string& sPath, std::string& sError);

    const uint8_t* pBytes() const { return m_pBytes; }
    int64_t nSize() const { return m_nSize; }
    dev_t nDevice() const { return m_nDevice; }  // identity of the file, to
    ino_t nInode() const { return m_nInode; }    // refuse it as the output

private:
    const uint8_t* m_pBytes = nullptr;
    int64_t m_nSize = 0;
    dev_t m_nDevice = 0;
    ino_t m_nInode = 0;
};
