// Chooses between the help text, the version, an argument error and a batch run.
#include "cli/Program.h"

#include "cli/CliRun.h"
#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "cli/Platform.h"
#include "cli/PrintableText.h"
#include "cli/RunReport.h"

#include "Version.h"

#include <cstdio>

int RunProgram(const std::vector<Argument>& arguments) {
    // Before any output: error messages may quote a file name in UTF-8.
    ConsoleSession console;
    const CommandLine command = ParseCommandLine(arguments);
    switch (command.action) {
        case CommandLine::Action::ShowHelp:
            std::fputs(kUsageText, stdout);
            return kExitAllProcessed;
        case CommandLine::Action::ShowVersion:
            std::fputs("palvotrix-cli " PALVOTRIX_VERSION "\n", stdout);
            return kExitAllProcessed;
        case CommandLine::Action::Reject:
            std::fprintf(stderr, "palvotrix-cli: %s\nTry 'palvotrix-cli --help' for more information.\n",
                         PrintableText(command.error).c_str());
            return kExitBadArguments;
        case CommandLine::Action::Run:
            break;
    }
    CatchInterrupts();
    RunReport report(console.CanShowProgress());
    return RunBatch(command.settings, command.files, report);
}
