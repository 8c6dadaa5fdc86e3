// Reading the file to inspect into memory, with the reason in words when it
// cannot be: a directory, a missing or unreadable file, an empty one.
#pragma once

#include <string>

// Reads the whole file at sPath into sBytes. False with sError ("is a
// directory, not a MiniSEED file", "cannot open: REASON", "cannot read:
// REASON", "is empty, not a MiniSEED file") when there is nothing to walk.
bool bReadInputBytes(const std::string& sPath, std::string& sBytes, std::string& sError);
