#include "BenchCases.h"

#include "MinimalProcess.h"

#include "core/FileJob.h"
#include "core/ProcessingSettings.h"
#include "core/VolumeAndTrim.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

namespace fs = std::filesystem;

// The copy, the floor: the kernel moves the bytes, and they are flushed like every other output.
bool PlainCopy(const fs::path& in, const fs::path& out) {
    const int from = open(in.c_str(), O_RDONLY | O_CLOEXEC);
    const int to = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    bool copied = from >= 0 && to >= 0;
    while (copied) {
        const ssize_t moved = sendfile(to, from, nullptr, std::size_t{1} << 30);
        copied = moved >= 0;
        if (moved == 0) {
            break;
        }
    }
    copied = copied && fsync(to) == 0;
    return close(from) == 0 && close(to) == 0 && copied;
}

// The job with the benchmark's trims and either its gain or, with `loudness`, a loudness target;
// or only the measurement.
int RunJob(const fs::path& in, const fs::path& outFolder, Case c) {
    ProcessingSettings settings;
    const Utf16String folder = Utf16FromUtf8(outFolder.string());
    Utf16Copy(settings.outputFolder, kTextCapacity, folder.c_str());
    settings.gain = kGain;
    settings.headThresholdDb = kThresholdDb;
    settings.tailThresholdDb = kThresholdDb;
    if (c == Case::Loudness) {
        settings.target = {LevelTarget::Kind::Loudness, kTargetLufs, 0.0, false};
    }
    (c == Case::Measure ? MeasureFile : ProcessFile)(settings, Utf16FromUtf8(in.string()).c_str());
    return settings.errorOccurred ? 1 : 0;
}

// Sox does not flush its output; the measurement does.
int RunSox(const fs::path& in, const fs::path& out) {
    execlp("sox", "sox", "-V1", in.c_str(), out.c_str(), "vol", "1.5", "silence", "1", "0.01", "-40d", "reverse",
           "silence", "1", "0.01", "-40d", "reverse", static_cast<char*>(nullptr));
    return 127;
}

// The i686 program with the job's settings, under Wine; its log is not the benchmark's.
int RunWin32(const fs::path& exe, const fs::path& in, const fs::path& outFolder) {
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull < 0 || dup2(devNull, STDOUT_FILENO) < 0) {
        return 126;
    }
    // Big files take Wine longer than the tests' limit.
    setenv("PALVOTRIX_WINE_TIMEOUT", "3600", 1);
    const std::string out = fs::absolute(outFolder).string();
    const std::string input = fs::absolute(in).string();
    execl(kWithWine, kWithWine, kWineExec, exe.c_str(), "--volume", "150", "--head-threshold", "-40",
          "--tail-threshold", "-40", "-o", out.c_str(), input.c_str(), static_cast<char*>(nullptr));
    return 127;
}

// Runs in the child: the exit status says whether the case did its work.
int RunCase(Case c, const fs::path& in, const fs::path& outFolder, const BenchOptions& options) {
    const fs::path out = outFolder / in.filename();
    switch (c) {
        case Case::Copy:
            return PlainCopy(in, out) ? 0 : 1;
        case Case::Minimal:
            return MinimalProcess(in.c_str(), out.c_str(), kGain, LinearFromDb(kThresholdDb)) ? 0 : 1;
        case Case::Job:
        case Case::Loudness:
        case Case::Measure:
            return RunJob(in, outFolder, c);
        case Case::Sox:
            return RunSox(in, out);
        case Case::Win32:
            return RunWin32(options.win32Cli, in, outFolder);
    }
    return 2;
}

}  // namespace

const char* NameOf(Case c) {
    switch (c) {
        case Case::Copy:
            return "copy";
        case Case::Minimal:
            return "minimal";
        case Case::Job:
            return "ProcessFile";
        case Case::Loudness:
            return "loudness";
        case Case::Measure:
            return "measure";
        case Case::Sox:
            return "sox";
        case Case::Win32:
            return "i686";
    }
    return "";
}

Measurement MeasureCase(Case c, const fs::path& in, const fs::path& outFolder, const BenchOptions& options) {
    fs::create_directories(outFolder);
    const fs::path flushAfter = c == Case::Sox ? outFolder / in.filename() : fs::path();
    return MeasureInChild([&] { return RunCase(c, in, outFolder, options); }, flushAfter);
}
