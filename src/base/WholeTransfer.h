// Whole reads and writes of a file descriptor: a transfer the kernel cuts
// short or a signal interrupts is carried on until every byte is moved.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads nBytes at offset nOffset of nFile into p; false with errno set on a
// failure, EIO where the file ends first.
bool bReadAll(int nFile, unsigned char* p, size_t nBytes, int64_t nOffset);

// Writes nBytes from p to nFile at its position; false with errno set on a
// failure (EIO where nothing could be written).
bool bWriteAll(int nFile, const unsigned char* p, size_t nBytes);
