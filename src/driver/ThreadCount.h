// How many threads encode: the number of cores, or the TESSAL_THREADS
// environment setting.
#pragma once

#include <string>

// The most threads a run uses, whatever it is asked for.
constexpr int nMaxThreads = 64;

// The thread count for the setting szSetting (the value of TESSAL_THREADS,
// or null when unset): a whole number from 1 (the serial path) to
// nMaxThreads. Unset, empty or unusable, it is the number of cores; an
// unusable setting also gives sWarning.
int nThreadCount(const char* szSetting, std::string& sWarning);
