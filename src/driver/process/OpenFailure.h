// Why a file could not be opened, in words a user can act on: the system's
// texts for some failures ("No such device or address" for a pipe nobody
// reads) name the mechanism, not what happened.
#pragma once

#include <string>

// The reason an open of sPath failed with nErrno, for "cannot open: ..."
// or "cannot open for writing: ..." (bWriting). Failures whose system
// text is already plain keep it.
std::string sOpenFailure(int nErrno, const std::string& sPath, bool bWriting);
