// Chooses between the help text, the version, an argument error and a batch run.
#include "cli/Program.h"

#include "cli/CliRun.h"
#include "cli/CommandLine.h"
#include "cli/CsvReport.h"
#include "cli/ExitStatus.h"
#include "cli/Platform.h"
#include "cli/PrintableText.h"
#include "cli/RunReport.h"

#include "Version.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// Null, with the message said, when the report cannot be written: the run does not start without it.
std::unique_ptr<CsvReport> OpenCsvReport(const CommandLine& command) {
    const Utf16String& path = command.settings.reportPath;
    std::FILE* file = CreateOutputFile(path);
    if (file == nullptr) {
        const int error = errno;
        std::fprintf(stderr, "palvotrix-cli: cannot write the report '%s': %s\n",
                     PrintableText(Utf8FromUtf16(path.c_str())).c_str(), std::strerror(error));
        return nullptr;
    }
    std::vector<std::string> given;
    for (const ListedFile& listed : command.files) {
        given.push_back(listed.given);
    }
    CsvColumns columns;
    columns.loudness = command.settings.target.kind != LevelTarget::Kind::None;
    columns.truePeak = command.settings.target.truePeak;
    return std::make_unique<CsvReport>(file, std::move(given), columns);
}

}  // namespace

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
    std::unique_ptr<CsvReport> csv;
    if (!command.settings.reportPath.empty()) {
        csv = OpenCsvReport(command);
        if (csv == nullptr) {
            return kExitBadArguments;
        }
    }
    CatchInterrupts();
    RunReport report(console.CanShowProgress());
    return RunBatch(command.settings, command.files, report, csv.get());
}
