// mseed-inspect --sds: the walk through the folders of an SDS archive, in
// path order, each file named as a day file read and checked in turn, so
// that one day file at a time is in memory.
#pragma once

#include <functional>
#include <string>

struct ArchiveCounts {
    bool bRootRead = false;  // the archive's folder could be listed
    int nChecked = 0;        // day files read and checked
    int nWithProblems = 0;   // of those, the ones with a problem
    int nUnreadable = 0;     // day files and folders that could not be read
    int nOthers = 0;         // files not named as day files, left alone
};

// Walks every folder below sRoot (symbolic links to folders are not
// followed) and checks each file named as a day file (bParseDayFilePath).
// fnProblem gets one line, "PATH: CLAUSE; CLAUSE...", per day file with
// problems; fnError gets the path and the reason for each folder or day
// file that cannot be read, and the walk goes on. PATH is sRoot joined with
// the path below it.
ArchiveCounts tCheckArchive(
    const std::string& sRoot, const std::function<void(const std::string&)>& fnProblem,
    const std::function<void(const std::string&, const std::string&)>& fnError);

// "DIR: N day files checked, M with problems", then ", K unreadable" and
// ", K other files left alone" where there are such.
std::string sArchiveSummary(const std::string& sRoot, const ArchiveCounts& t);
