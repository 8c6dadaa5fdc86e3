// Telling a refused input that is no VORN recording at all (a MiniSEED file,
// a program, an image, an archive...) from a damaged recording, so that the
// refusal says which of the two the user has in hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Empty when the file image (p, nSize) looks like a VORN recording: its
// text head holds a CH, GROUP or STREAM section. Otherwise what it looks
// like instead, for "not a VORN recording (...)": "it looks like MiniSEED",
// "it is empty", ... or, for no type known here, that the sections are
// missing. Only asked about refused inputs; it never refuses one itself.
std::string sForeignFileKind(const uint8_t* p, size_t nSize);

// True when the kind sForeignFileKind gave names a known file type, so
// details of the recording layout say nothing more to the user.
bool bIsKnownFileType(const std::string& sKind);
