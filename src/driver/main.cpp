// Entry point of tessal: reads the command line, prints the usage text, the
// complaint or the banner, and runs the conversion. Errors are printed here,
// once, on standard error.
#include <cstdio>

#include "driver/CommandLine.h"
#include "driver/ConversionRun.h"
#include "driver/Diagnostics.h"
#include "driver/ExitStatus.h"
#include "driver/HelpText.h"

int main(int argc, char** argv) {
    // Progress lines are many; keep them in one large buffer, flushed at exit.
    static char acStdoutBuffer[1 << 16];
    std::setvbuf(stdout, acStdoutBuffer, _IOFBF, sizeof acStdoutBuffer);

    const CommandLineResult tCommand = tParseCommandLine(argc, argv);
    switch (tCommand.eAction) {
        case CommandAction::ShowUsage:
            std::fputs(szUsageText, stdout);
            return nExitSuccess;
        case CommandAction::ShowHelp:
            std::fputs(szHelpText, stdout);
            return nExitSuccess;
        case CommandAction::ShowVersion:
            std::fputs(szVersionText, stdout);
            return nExitSuccess;
        case CommandAction::TooMany:
            std::fputs(szTooManyText, stdout);
            return nExitTooManyArgs;
        case CommandAction::Refuse:
            std::fputs(szBannerText, stdout);
            vPrintError(tCommand.sError);
            return nExitCommandLine;
        case CommandAction::Convert:
            std::fputs(szBannerText, stdout);
            return nRunConversion(tCommand.tArgs);
    }
    return nExitSuccess;
}
