// Diagnostic lines on standard error.
#include "driver/Diagnostics.h"

#include <cstdio>

void vPrintError(const std::string& sMessage) {
    std::fprintf(stderr, "tessal: error: %s\n", sMessage.c_str());
}

void vPrintWarning(const std::string& sMessage) {
    std::fprintf(stderr, "tessal: warning: %s\n", sMessage.c_str());
}
