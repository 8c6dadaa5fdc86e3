// Diagnostic lines on standard error. Messages carry paths and names from
// the user and the recording, so control bytes are escaped to keep each
// diagnostic one line. A progress line on the terminal is erased first.
#include "driver/process/Diagnostics.h"

#include <cstdio>

#include "base/PrintableText.h"
#include "driver/process/ProgressLine.h"

void vPrintError(const std::string& sMessage) {
    vClearProgress();
    std::fprintf(stderr, "tessal: error: %s\n", sPrintable(sMessage).c_str());
}

void vPrintWarning(const std::string& sMessage) {
    vClearProgress();
    std::fprintf(stderr, "tessal: warning: %s\n", sPrintable(sMessage).c_str());
}

void vPrintReport(const std::string& sMessage) {
    vClearProgress();
    std::fprintf(stderr, "tessal: %s\n", sPrintable(sMessage).c_str());
}
