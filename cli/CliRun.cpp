// Runs the listed files one after another through the per-file job and reports each step.
#include "cli/CliRun.h"

#include "cli/ExitStatus.h"
#include "cli/Platform.h"
#include "core/FileJob.h"
#include "core/ProcessingSettings.h"
#include "core/RunLogText.h"
#include "core/WaveWriter.h"
#include "core/WrittenOutputs.h"

#include <chrono>
#include <cstdlib>
#include <future>
#include <system_error>
#include <thread>

namespace {

// Notes on standard error, after the file's name.
constexpr char kWrittenText[] = "written before the run stopped";
constexpr char kNotWrittenText[] = "not written, the run was stopped";

// How soon Ctrl+C reaches a job in progress.
constexpr std::chrono::milliseconds kInterruptPoll{20};

#ifdef _WIN32
constexpr Utf16Char kPathSeparator = L'\\';
#else
constexpr Utf16Char kPathSeparator = u'/';
#endif

std::string FileName(const Utf16String& path) {
    const std::size_t separator = path.rfind(kPathSeparator);
    return Utf8FromUtf16(path.c_str() + (separator == Utf16String::npos ? 0 : separator + 1));
}

void LoadRunSettings(const RunSettings& from, ProcessingSettings& to) {
    // The command line has refused folders that do not fit.
    Utf16Copy(to.outputFolder, kTextCapacity, from.outputFolder.c_str());
    to.SetValues(from.values);
}

void ForwardInterrupt(ProcessingSettings& settings) {
    if (InterruptRequested() || TerminationSignal() != 0) {
        settings.cancelRequested = true;
    }
}

void RunJob(ProcessingSettings& settings, const Utf16String& path) noexcept {
    try {
        ProcessFile(settings, path.c_str());
    } catch (...) {
        // Nothing may escape the worker thread: a job that throws is a failed file, and the run goes on.
        settings.errorOccurred = true;
    }
}

void ReportEnd(const ProcessingSettings& settings, bool interrupted, RunReport& report) {
    report.Line(Utf8FromUtf16(interrupted ? kRunInterruptedText : kRunCompletedText));
    Utf16Char folder[kTextCapacity] = {};
    // A current directory too long for the buffer leaves the folder blank, as in the window.
    GetOutputFolder(settings, folder);
    report.Line(Utf8FromUtf16(kOutputFolderText) + PrintableText(Utf8FromUtf16(folder)));
}

// SIGTERM or SIGHUP: the file in progress is dropped, not waited for, and the worker is ended
// with the process. The writer can no longer put its file in place once it has been abandoned.
[[noreturn]] void EndOnSignal(const ProcessingSettings& settings, const std::string& name, RunReport& report) {
    if (AbandonWriteInProgress()) {
        report.FileRemark(name, kNotWrittenText);
    }
    ReportEnd(settings, true, report);
    std::_Exit(128 + TerminationSignal());
}

// False when no worker thread could be started for the file.
bool ProcessOnWorker(ProcessingSettings& settings, const Utf16String& path, const std::string& name,
                     RunReport& report) {
    std::promise<void> finished;
    std::future<void> done = finished.get_future();
    std::thread worker;
    try {
        worker = std::thread([&settings, &path, &finished]() noexcept {
            RunJob(settings, path);
            finished.set_value();
        });
    } catch (const std::system_error&) {
        return false;
    }
    while (done.wait_for(kInterruptPoll) == std::future_status::timeout) {
        if (TerminationSignal() != 0) {
            EndOnSignal(settings, name, report);
        }
        ForwardInterrupt(settings);
    }
    worker.join();
    return true;
}

// After a stop during the job, whether the file made it is not clear from the log alone.
void ReportStoppedFile(const ProcessingSettings& settings, const std::string& name, RunReport& report) {
    if (settings.cancelRequested && !settings.errorOccurred) {
        report.FileRemark(name, settings.outputWritten ? kWrittenText : kNotWrittenText);
    }
}

// The outcome is left in the settings, a refusal's as the job's own.
void ProcessListedFile(ProcessingSettings& settings, WrittenOutputs& written, const Utf16String& path,
                       const std::string& name, RunReport& report) {
    RunListedFile(settings, written, path.c_str(), [&]() {
        if (!ProcessOnWorker(settings, path, name, report)) {
            return false;
        }
        // Ctrl+C during the last moments of a job still ends the run here.
        ForwardInterrupt(settings);
        ReportStoppedFile(settings, name, report);
        return true;
    });
}

int ExitStatusOf(bool interrupted, bool anyFileFailed) {
    if (TerminationSignal() != 0) {
        return 128 + TerminationSignal();
    }
    if (interrupted) {
        return kExitInterrupted;
    }
    return anyFileFailed ? kExitFileFailed : kExitAllProcessed;
}

}  // namespace

int RunBatch(const RunSettings& runSettings, const std::vector<Utf16String>& files, RunReport& report) {
    ProcessingSettings& settings = ProcessingSettings::Instance();
    LoadRunSettings(runSettings, settings);
    report.Line(Utf8FromUtf16(kRunStartText));

    WrittenOutputs written;
    bool anyFileFailed = false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string name = PrintableText(FileName(files[i]));
        report.Line(name);
        report.Progress(i + 1, files.size(), name);
        ProcessListedFile(settings, written, files[i], name, report);
        if (settings.errorOccurred) {
            report.Line(Utf8FromUtf16(kFileErrorText));
            anyFileFailed = true;
        }
        if (settings.reason.kind != FileReason::Kind::None) {
            report.FileRemark(name, EnglishText(settings.reason));
        }
        if (settings.cancelRequested) {
            break;
        }
    }

    const bool interrupted = settings.cancelRequested;
    ReportEnd(settings, interrupted, report);
    settings.cancelRequested = false;
    return ExitStatusOf(interrupted, anyFileFailed);
}
