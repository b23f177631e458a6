// Runs the listed files one after another through the per-file job and reports each step.
#include "cli/BatchRun.h"

#include "cli/ExitStatus.h"
#include "cli/Platform.h"
#include "core/ProcessingSettings.h"

#include <chrono>
#include <future>
#include <thread>

namespace {

constexpr char kStartText[] = "処理を開始します";
constexpr char kFileErrorText[] = "処理中にエラーが発生しました";
constexpr char kCompletedText[] = "処理が完了しました";
constexpr char kInterruptedText[] = "処理が中断されました";
constexpr char kOutputFolderText[] = "出力先: ";

// How soon Ctrl+C reaches a job in progress.
constexpr std::chrono::milliseconds kInterruptPoll{20};

#ifdef _WIN32
constexpr Utf16Char kPathSeparator = L'\\';
#else
constexpr Utf16Char kPathSeparator = u'/';
#endif

std::string FileName(const Utf16String& path)
{
    const std::size_t separator = path.rfind(kPathSeparator);
    return Utf8FromUtf16(path.c_str() + (separator == Utf16String::npos ? 0 : separator + 1));
}

void CaptureSettings(const RunSettings& from, ProcessingSettings& to)
{
    // The command line has refused folders that do not fit.
    Utf16Copy(to.outputFolder, kTextCapacity, from.outputFolder.c_str());
    to.gain = from.gain;
    to.headThresholdDb = from.headThresholdDb;
    to.headMarginSec = from.headMarginSec;
    to.tailThresholdDb = from.tailThresholdDb;
    to.tailMarginSec = from.tailMarginSec;
}

void ForwardInterrupt(ProcessingSettings& settings)
{
    if (InterruptRequested()) {
        settings.cancelRequested = true;
    }
}

void RunJob(ProcessingSettings& settings, const Utf16String& path) noexcept
{
    try {
        ProcessFile(settings, path.c_str());
    } catch (...) {
        // Nothing may escape the worker thread: a job that throws is a failed file, and the run goes on.
        settings.errorOccurred = true;
    }
}

void ProcessOnWorker(ProcessingSettings& settings, const Utf16String& path)
{
    std::promise<void> finished;
    std::future<void> done = finished.get_future();
    std::thread worker([&settings, &path, &finished]() noexcept {
        RunJob(settings, path);
        finished.set_value();
    });
    while (done.wait_for(kInterruptPoll) == std::future_status::timeout) {
        ForwardInterrupt(settings);
    }
    worker.join();
}

}  // namespace

int RunBatch(const RunSettings& runSettings, const std::vector<Utf16String>& files, RunReport& report)
{
    ProcessingSettings& settings = ProcessingSettings::Instance();
    CaptureSettings(runSettings, settings);
    report.Line(kStartText);

    bool anyFileFailed = false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string name = FileName(files[i]);
        report.Line(name);
        report.Progress(i + 1, files.size(), name);
        ProcessOnWorker(settings, files[i]);
        // Ctrl+C during the last moments of a job still ends the run here.
        ForwardInterrupt(settings);
        if (settings.errorOccurred) {
            report.Line(kFileErrorText);
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
    report.Line(interrupted ? kInterruptedText : kCompletedText);
    Utf16Char folder[kTextCapacity] = {};
    // A current directory too long for the buffer leaves the folder blank, as in the window.
    GetOutputFolder(settings, folder);
    report.Line(kOutputFolderText + Utf8FromUtf16(folder));
    settings.cancelRequested = false;

    if (interrupted) {
        return kExitInterrupted;
    }
    return anyFileFailed ? kExitFileFailed : kExitAllProcessed;
}
