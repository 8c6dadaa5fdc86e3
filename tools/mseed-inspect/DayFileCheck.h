// The checks of one day file of an SDS archive against its path
// (YEAR/NET/STA/CHA.D/NET.STA.LOC.CHA.D.YEAR.DAY) from its record headers:
// what a reader that finds data by path and searches a day file by time
// relies on. Every record carries the file's codes and starts on its UTC
// day, none runs over midnight, the records are in time order, no record
// of a stream overlaps or repeats the span of another, and all have one
// length.
#pragma once

#include <string>
#include <vector>

#include "HeaderWalk.h"

// What a day file's path below the archive's folder says it holds.
struct DayFilePath {
    std::string sFolder;  // the folders the file lies in, "" or ending in '/'
    std::string sNetwork, sStation, sLocation, sChannel;
    int nYear = 0, nDayOfYear = 0;
};

// Takes sRelative, a path below the archive's folder, apart when its last
// part is named as a day file: NET.STA.LOC.CHA.D.YEAR.DAY with network,
// station and channel not empty, a year of four digits and a day of three.
// False for any other name.
bool bParseDayFilePath(const std::string& sRelative, DayFilePath& t);

// The problems of the day file at t whose records w read, each a clause
// naming the first record it concerns (counted from 1), with "(N more like
// it)" where further records have it too; none for a sound file. The
// clauses, in this order:
//   "lies in FOLDERS, not in YEAR/NET/STA/CHA.D/"
//   "YEAR has no day DAY"
//   "holds NET.STA.LOC.CHA records, not NET.STA.LOC.CHA: record K"
//   "record K starts at TIME, not on the file's day YYYY-MM-DD"
//   "record K starts at TIME, before record J at TIME"
//   "record K repeats the span of record J, TIME to TIME"
//   "record K starting at TIME overlaps record J by S s"
//   "record K runs over midnight, from TIME to its last sample at TIME"
//   "records of L1 and L2 bytes (record K the first of L2)"
//   and the walk's stop, where it stopped early.
std::vector<std::string> asDayFileProblems(const DayFilePath& t, const HeaderWalk& w);
