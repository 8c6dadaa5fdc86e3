// The input recording, read whole into memory once.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

struct InputFile {
    std::unique_ptr<uint8_t[]> pBytes;  // the whole file
    int64_t nSize = 0;
    dev_t nDevice = 0;  // identity of the file, to refuse it as output
    ino_t nInode = 0;
};

// Reads the file at sPath into tInput. On failure returns false with sError
// set to the reason (the system's text where it has one).
bool bReadInputFile(const std::string& sPath, InputFile& tInput, std::string& sError);
