// Entry point of tessal: reads the command line, prints the usage text, the
// help, the version or the refusal of the command line, runs the
// conversions, and reports a console that could not take the text.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/cli/CommandLine.h"
#include "driver/cli/HelpText.h"
#include "driver/cli/ThreadCount.h"
#include "driver/process/Console.h"
#include "driver/process/Diagnostics.h"
#include "driver/process/ExitStatus.h"
#include "driver/process/Signals.h"
#include "driver/run/ConversionBatch.h"

namespace {

// Runs what the command line asks for; returns the exit status.
int nRunCommand(const CommandLineResult& tCommand) {
    switch (tCommand.eAction) {
        case CommandAction::ShowUsage:
            // The original usage text, kept byte for byte, names two options
            // and a gain that is not applied: the help says what holds.
            std::fputs(szUsageText, stdout);
            std::fflush(stdout);
            vPrintReport(
                "the usage above is the original one; tessal --help tells every option, "
                "and that -g scales nothing");
            return nExitSuccess;
        case CommandAction::ShowHelp:
            std::fputs(szHelpText, stdout);
            return nExitSuccess;
        case CommandAction::ShowVersion:
            std::fputs(szVersionText, stdout);
            return nExitSuccess;
        case CommandAction::Refuse:
            std::fputs(szBannerText, stdout);
            vPrintError(tCommand.sError);
            return nExitCommandLine;
        case CommandAction::Convert:
            return nRunConversions(tCommand.tArgs);
    }
    return nExitSuccess;
}

}  // namespace

int main(int argc, char** argv) {
    vSecureStandardDescriptors();
    vIgnoreBrokenPipes();
    vUseCheckedConsole();
    CommandLineResult tCommand = tParseCommandLine(argc, argv);
    std::string sThreadWarning;
    const ThreadSetting tThreads = tThreadSetting(std::getenv("TESSAL_THREADS"), sThreadWarning);
    tCommand.tArgs.nThreads = tThreads.nThreads;
    tCommand.tArgs.bThreadsChosen = tThreads.bChosen;
    if (!sThreadWarning.empty()) tCommand.tArgs.asSettingWarnings.push_back(sThreadWarning);
    if (tCommand.tArgs.bQuiet) vSilenceConsole();
    const int nStatus = nRunCommand(tCommand);

    // A console that could not take the text costs nothing else: the output
    // is whole, and only a run that otherwise succeeded reports it.
    const int nConsole = nConsoleError();
    if (nConsole == 0 || nStatus != nExitSuccess) return nStatus;
    std::string sMessage = std::string("standard output: ") + std::strerror(nConsole);
    if (tCommand.eAction == CommandAction::Convert) {
        const CommandLine& tArgs = tCommand.tArgs;
        sMessage += tArgs.asRecordings.size() == 1
                        ? "; " + sOutputNameOf(tArgs, tArgs.asRecordings.front()) + " is complete"
                        : "; every output written is complete";
    }
    vPrintError(sMessage);
    return nExitConsoleFailed;
}
