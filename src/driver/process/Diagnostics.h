// The program's diagnostics: one line each on standard error, in the form
// "tessal: error: ..." or "tessal: warning: ...", and the one report of a
// check that passed, "tessal: ...".
#pragma once

#include <string>

void vPrintError(const std::string& sMessage);
void vPrintWarning(const std::string& sMessage);
void vPrintReport(const std::string& sMessage);
