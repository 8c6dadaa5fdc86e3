// One writer at a time per output file: an exclusive lock on the open file,
// held until the file is closed, so runs into one file take turns.
#pragma once

#include <string>

// Takes an exclusive lock on the open file nFile, waiting while another run
// holds it; once it has waited about a second, prints one warning naming
// sPath. Returns true when locked; false with sProblem (the system's reason)
// when the file system cannot lock it, and the run goes on without the lock.
bool bLockOutput(int nFile, const std::string& sPath, std::string& sProblem);
