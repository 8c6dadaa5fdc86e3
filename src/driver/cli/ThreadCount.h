// How many threads encode: the number of cores, or the TESSAL_THREADS
// environment setting.
#pragma once

#include <cstdint>
#include <string>

// The most threads a run uses, whatever it is asked for.
constexpr int nMaxThreads = 64;

// The threads a run may use, and whether the TESSAL_THREADS setting chose
// that number (or it is the number of cores).
struct ThreadSetting {
    int nThreads = 1;
    bool bChosen = false;
};

// The thread setting for szSetting (the value of TESSAL_THREADS, or null
// when unset): a whole number from 1 (the serial path) to nMaxThreads.
// Unset, empty or unusable, it is the number of cores; an unusable setting
// also gives sWarning.
ThreadSetting tThreadSetting(const char* szSetting, std::string& sWarning);

// Threads that encode a recording whose data area holds nDataBytes: the
// setting's nThreads, or 1 for a small recording when the setting did not
// choose the number (bChosen): starting workers would cost more than they
// save.
int nEncodingThreads(int nThreads, bool bChosen, int64_t nDataBytes);
