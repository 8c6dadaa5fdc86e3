// A day file's checks, each over the records in file order or, for
// overlaps, over each stream's records in time order; each kind of problem
// is told once, by its first record, with a count of the others.
#include "DayFileCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "base/PrintableText.h"
#include "timeconv/CalendarTime.h"
#include "timeconv/UtcText.h"

namespace {

constexpr int64_t nMicrosPerDay = nSecondsPerDay * 1000000;

// One kind of problem: how many records have it, and the clause on the first.
struct Finding {
    size_t nCount = 0;
    std::string sFirst;
};

// Counts one more record of f; fnClause makes the clause on the first.
template <class F>
void vCount(Finding& f, F fnClause) {
    if (f.nCount++ == 0) f.sFirst = fnClause();
}

void vTell(const Finding& f, std::vector<std::string>& as) {
    if (f.nCount == 0) return;
    if (f.nCount == 1) {
        as.push_back(f.sFirst);
    } else {
        as.push_back(f.sFirst + " (" + std::to_string(f.nCount - 1) + " more like it)");
    }
}

std::string sRecord(size_t i) {
    return "record " + std::to_string(i + 1);
}

bool bDigits(const std::string& s, size_t nLength) {
    return s.size() == nLength &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> asSplit(const std::string& s, char cAt) {
    std::vector<std::string> as(1);
    for (const char c : s) {
        if (c == cAt) {
            as.emplace_back();
        } else {
            as.back() += c;
        }
    }
    return as;
}

std::string sStreamOf(const DayFilePath& t) {
    return sPrintable(t.sNetwork + "." + t.sStation + "." + t.sLocation + "." + t.sChannel);
}

// "A", "A and B", "A, B and C".
std::string sListed(const std::vector<std::string>& as) {
    std::string s;
    for (size_t i = 0; i < as.size(); ++i)
        s += (i == 0 ? "" : i + 1 == as.size() ? " and " : ", ") + as[i];
    return s;
}

void vCheckFolder(const DayFilePath& t, std::vector<std::string>& as) {
    char acYear[8];
    std::snprintf(acYear, sizeof acYear, "%04d", t.nYear);
    const std::string sExpected =
        std::string(acYear) + "/" + t.sNetwork + "/" + t.sStation + "/" + t.sChannel + ".D/";
    if (t.sFolder == sExpected) return;
    as.push_back("lies in " + (t.sFolder.empty() ? "the archive's folder" : sPrintable(t.sFolder)) +
                 ", not in " + sPrintable(sExpected));
}

void vCheckCodes(const DayFilePath& t, const HeaderWalk& w, std::vector<std::string>& as) {
    const std::string sExpected = sStreamOf(t);
    std::vector<std::pair<std::string, Finding>> atForeign;  // in order of first appearance
    for (size_t i = 0; i < w.atRecords.size(); ++i) {
        const std::string sStream = sHeaderStream(w.atRecords[i]);
        if (sStream == sExpected) continue;
        auto it = std::find_if(atForeign.begin(), atForeign.end(),
                               [&sStream](const auto& p) { return p.first == sStream; });
        if (it == atForeign.end()) it = atForeign.insert(it, {sStream, Finding{}});
        vCount(it->second, [&] {
            return "holds " + sStream + " records, not " + sExpected + ": " + sRecord(i);
        });
    }
    for (const auto& [sStream, f] : atForeign) vTell(f, as);
}

void vCheckDay(const DayFilePath& t, const HeaderWalk& w, std::vector<std::string>& as) {
    const int64_t nDayStart = nEpochSeconds(t.nYear, t.nDayOfYear, 0, 0, 0) * 1000000;
    Finding f;
    for (size_t i = 0; i < w.atRecords.size(); ++i) {
        const int64_t nStart = w.atRecords[i].nStartMicros;
        if (nStart >= nDayStart && nStart < nDayStart + nMicrosPerDay) continue;
        vCount(f, [&] {
            return sRecord(i) + " starts at " + sMicrosText(nStart) + ", not on the file's day " +
                   sUtcText(nDayStart / 1000000).substr(0, 10);
        });
    }
    vTell(f, as);
}

void vCheckOrder(const HeaderWalk& w, std::vector<std::string>& as) {
    Finding f;
    for (size_t i = 1; i < w.atRecords.size(); ++i) {
        const int64_t nStart = w.atRecords[i].nStartMicros;
        const int64_t nBefore = w.atRecords[i - 1].nStartMicros;
        if (nStart >= nBefore) continue;
        vCount(f, [&] {
            return sRecord(i) + " starts at " + sMicrosText(nStart) + ", before " + sRecord(i - 1) +
                   " at " + sMicrosText(nBefore);
        });
    }
    vTell(f, as);
}

void vCheckMidnight(const HeaderWalk& w, std::vector<std::string>& as) {
    Finding f;
    for (size_t i = 0; i < w.atRecords.size(); ++i) {
        const RecordHeader& r = w.atRecords[i];
        const int64_t nDay = r.nStartMicros / nMicrosPerDay - (r.nStartMicros % nMicrosPerDay < 0);
        if (r.nLastMicros < (nDay + 1) * nMicrosPerDay) continue;
        vCount(f, [&] {
            return sRecord(i) + " runs over midnight, from " + sMicrosText(r.nStartMicros) +
                   " to its last sample at " + sMicrosText(r.nLastMicros);
        });
    }
    vTell(f, as);
}

// Within each stream, in time order: a record whose start and end lie
// within half a sample period of the record before it repeats that
// record's span; one that starts more than that before the latest end so
// far overlaps the record that ends there.
void vCheckSpans(const HeaderWalk& w, std::vector<std::string>& as) {
    const std::vector<RecordHeader>& at = w.atRecords;
    std::map<std::string, std::vector<size_t>> mapStreams;
    for (size_t i = 0; i < at.size(); ++i)
        if (at[i].nSamples > 0 && at[i].dRate > 0) mapStreams[sHeaderStream(at[i])].push_back(i);
    Finding fRepeats, fOverlaps;
    for (auto& tStream : mapStreams) {
        std::vector<size_t>& an = tStream.second;
        std::stable_sort(an.begin(), an.end(), [&at](size_t a, size_t b) {
            return at[a].nStartMicros < at[b].nStartMicros;
        });
        size_t nLatest = an[0];  // the record that ends last so far
        for (size_t k = 1; k < an.size(); ++k) {
            const RecordHeader &r = at[an[k]], &rBefore = at[an[k - 1]];
            const double dTolerance = 0.5e6 / r.dRate;
            const auto bNear = [dTolerance](int64_t a, int64_t b) {
                return std::abs(static_cast<double>(a - b)) <= dTolerance;
            };
            const int64_t nOverlap = at[nLatest].nEndMicros - r.nStartMicros;
            if (bNear(r.nStartMicros, rBefore.nStartMicros) &&
                bNear(r.nEndMicros, rBefore.nEndMicros)) {
                vCount(fRepeats, [&] {
                    return sRecord(an[k]) + " repeats the span of " + sRecord(an[k - 1]) + ", " +
                           sMicrosText(r.nStartMicros) + " to " + sMicrosText(r.nEndMicros);
                });
            } else if (static_cast<double>(nOverlap) > dTolerance) {
                vCount(fOverlaps, [&] {
                    char ac[48];
                    std::snprintf(ac, sizeof ac, " by %.6f s", static_cast<double>(nOverlap) / 1e6);
                    return sRecord(an[k]) + " starting at " + sMicrosText(r.nStartMicros) +
                           " overlaps " + sRecord(nLatest) + ac;
                });
            }
            if (r.nEndMicros > at[nLatest].nEndMicros) nLatest = an[k];
        }
    }
    vTell(fRepeats, as);
    vTell(fOverlaps, as);
}

void vCheckLengths(const HeaderWalk& w, std::vector<std::string>& as) {
    std::vector<std::string> asLengths, asFirsts;
    std::vector<size_t> anSeen;
    for (size_t i = 0; i < w.atRecords.size(); ++i) {
        const size_t nLength = w.atRecords[i].nLength;
        if (std::find(anSeen.begin(), anSeen.end(), nLength) != anSeen.end()) continue;
        anSeen.push_back(nLength);
        asLengths.push_back(std::to_string(nLength));
        if (anSeen.size() > 1) asFirsts.push_back(sRecord(i) + " the first of " + asLengths.back());
    }
    if (anSeen.size() < 2) return;
    std::string s = "records of " + sListed(asLengths) + " bytes (";
    for (size_t k = 0; k < asFirsts.size(); ++k) s += (k == 0 ? "" : ", ") + asFirsts[k];
    as.push_back(s + ")");
}

}  // namespace

bool bParseDayFilePath(const std::string& sRelative, DayFilePath& t) {
    const size_t nSlash = sRelative.rfind('/');
    const size_t nName = nSlash == std::string::npos ? 0 : nSlash + 1;
    const std::vector<std::string> as = asSplit(sRelative.substr(nName), '.');
    if (as.size() != 7 || as[0].empty() || as[1].empty() || as[3].empty() || as[4] != "D" ||
        !bDigits(as[5], 4) || !bDigits(as[6], 3))
        return false;
    t.sFolder = sRelative.substr(0, nName);
    t.sNetwork = as[0];
    t.sStation = as[1];
    t.sLocation = as[2];
    t.sChannel = as[3];
    t.nYear = std::stoi(as[5]);
    t.nDayOfYear = std::stoi(as[6]);
    return true;
}

std::vector<std::string> asDayFileProblems(const DayFilePath& t, const HeaderWalk& w) {
    std::vector<std::string> as;
    vCheckFolder(t, as);
    const bool bDayExists = t.nDayOfYear >= 1 && t.nDayOfYear <= nDaysInYear(t.nYear);
    if (!bDayExists) {
        char ac[48];
        std::snprintf(ac, sizeof ac, "%04d has no day %03d", t.nYear, t.nDayOfYear);
        as.push_back(ac);
    }
    vCheckCodes(t, w, as);
    if (bDayExists) vCheckDay(t, w, as);
    vCheckOrder(w, as);
    vCheckSpans(w, as);
    vCheckMidnight(w, as);
    vCheckLengths(w, as);
    if (!w.sStop.empty()) as.push_back(w.sStop);
    return as;
}
