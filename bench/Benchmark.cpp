// The benchmark: times the per-file job against a plain copy, the minimal whole-file program and
// sox on large files of each sample width, runs it on a file over 4 GiB, has the shipped i686
// program process big files under Wine, and times both programs on a thousand small files; each
// case runs in a child process of its own. Ends with a table of the targets, the figures measured
// for them and whether they are met.
#include "BenchCases.h"
#include "BenchFiles.h"
#include "BenchOptions.h"
#include "DiskRoom.h"
#include "FigureText.h"
#include "ManyFiles.h"
#include "RemovedAtEnd.h"
#include "TargetTable.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr double kMostTimesCopy = 1.5;
constexpr double kLeastTimesFasterThanSox = 10;
constexpr std::uint64_t kMostPeakBytes = 32 * kMiB;
const char kSameAsMinimal[] = "job's output same as the minimal program's";
const char kWithinCopy[] = "job within 1.5 x copy's time";
const char kFasterThanSox[] = "job at least 10 x faster than sox";
constexpr double kMostLoudnessTimesCopy = 2.0;
const char kLoudnessWithinCopy[] = "job with --loudness within 2 x copy's time";
constexpr double kLeastMeasureMBps = 1000.0;
const char kMeasureSpeed[] = "--measure at least 1 GB/s on 16-bit";
const char kPeakMemory[] = "job's peak memory at most 32 MiB, whatever the file's size";
const char kWin32Same[] = "i686 program under Wine: output same as job's, byte for byte";

std::string NameOf(const BenchFile& file) {
    return file.label + " " + SizeText(FileBytes(file));
}

bool SameContents(const fs::path& a, const fs::path& b) {
    std::FILE* fa = std::fopen(a.c_str(), "rb");
    std::FILE* fb = std::fopen(b.c_str(), "rb");
    bool same = fa != nullptr && fb != nullptr;
    std::vector<char> x(1 << 20), y(1 << 20);
    while (same) {
        const std::size_t na = std::fread(x.data(), 1, x.size(), fa);
        const std::size_t nb = std::fread(y.data(), 1, y.size(), fb);
        same = na == nb && std::memcmp(x.data(), y.data(), na) == 0;
        if (na == 0) {
            break;
        }
    }
    if (fa != nullptr)
        std::fclose(fa);
    if (fb != nullptr)
        std::fclose(fb);
    return same;
}

bool Made(const BenchFile& file) {
    if (MakeBenchFile(file)) {
        return true;
    }
    std::fprintf(stderr, "cannot write %s\n", file.path.c_str());
    return false;
}

struct Summary {
    double seconds = 0;
    std::uint64_t peakBytes = 0;
    int rounds = 0;
};

struct Timings {
    Summary cases[kTimedCases];
    bool jobFailed = false;
    bool sameAsMinimal = false;
};

// The order of the cases in a round: copy, minimal and the jobs take turns at going first, so that
// none always follows the same one; sox, the slowest, comes last.
std::vector<Case> OrderOfRound(int round) {
    std::vector<Case> order = {Case::Copy, Case::Minimal, Case::Job, Case::Loudness, Case::Measure};
    std::rotate(order.begin(), order.begin() + round % static_cast<int>(order.size()), order.end());
    order.push_back(Case::Sox);
    return order;
}

// Sox, which is slow, runs once on files of a GiB and more, twice on the others.
bool SoxInRound(const BenchFile& file, const BenchOptions& options, int round) {
    return options.sox && (round == 0 || (round == 1 && FileBytes(file) < kGiB));
}

// Every case `rounds` times, interleaved so that a slow spell of the machine hits them alike. A
// failing job ends the rounds and is reported; false when one of the others failed.
bool RunRounds(const BenchFile& file, const BenchOptions& options, int rounds, Timings& timings) {
    const fs::path outRoot = options.outputs / "out";
    std::vector<double> seconds[kTimedCases];
    for (int round = 0; round < rounds && !timings.jobFailed; ++round) {
        for (const Case c : OrderOfRound(round)) {
            if (c == Case::Sox && !SoxInRound(file, options, round)) {
                continue;
            }
            const Measurement m = MeasureCase(c, file.path, outRoot / NameOf(c), options);
            const int i = static_cast<int>(c);
            timings.cases[i].peakBytes = std::max(timings.cases[i].peakBytes, m.peakBytes);
            if (!m.ok) {
                std::fprintf(stderr, "%s failed on %s\n", NameOf(c), file.path.c_str());
                timings.jobFailed = c == Case::Job || c == Case::Loudness || c == Case::Measure;
                if (!timings.jobFailed) {
                    return false;
                }
                break;
            }
            seconds[i].push_back(m.seconds);
        }
        const fs::path name = fs::path(file.path).filename();
        if (round == 0 && !timings.jobFailed) {
            timings.sameAsMinimal = SameContents(outRoot / "minimal" / name, outRoot / "ProcessFile" / name);
        }
        fs::remove_all(outRoot);
    }
    for (int i = 0; i < kTimedCases; ++i) {
        timings.cases[i].rounds = static_cast<int>(seconds[i].size());
        timings.cases[i].seconds = Median(seconds[i]);
    }
    return true;
}

void PrintTimings(const BenchFile& file, const Timings& timings) {
    const double bytes = static_cast<double>(FileBytes(file));
    const Summary& copy = timings.cases[static_cast<int>(Case::Copy)];
    std::printf("\n%s\n", NameOf(file).c_str());
    std::printf("  %-12s %6s %9s %8s %8s %12s\n", "case", "rounds", "median s", "MB/s", "x copy", "peak memory");
    for (const Case c : kTimed) {
        const Summary& s = timings.cases[static_cast<int>(c)];
        if (s.rounds > 0) {
            std::printf("  %-12s %6d %9.3f %8.0f %8.2f %12s\n", NameOf(c), s.rounds, s.seconds, bytes / 1e6 / s.seconds,
                        s.seconds / copy.seconds, MiBText(s.peakBytes).c_str());
        }
    }
}

void CheckPeakMemory(const std::string& file, bool jobRan, std::uint64_t peakBytes, TargetTable& table) {
    table.Check(kPeakMemory, file, jobRan ? MiBText(peakBytes) : "job failed", jobRan && peakBytes <= kMostPeakBytes);
}

// The job with a loudness target against the copy, and the measurement's speed on 16-bit files.
void AddLevelTargets(const BenchFile& file, const Timings& timings, TargetTable& table) {
    const std::string name = NameOf(file);
    const double copy = timings.cases[static_cast<int>(Case::Copy)].seconds;
    const double loudness = timings.cases[static_cast<int>(Case::Loudness)].seconds;
    const double timesCopy = loudness / copy;
    table.Check(kLoudnessWithinCopy, name, Format("%.2f x", timesCopy), timesCopy <= kMostLoudnessTimesCopy);
    if (file.bitsPerSample == 16 && file.formatTag == 1) {
        const double mbps =
            static_cast<double>(FileBytes(file)) / 1e6 / timings.cases[static_cast<int>(Case::Measure)].seconds;
        table.Check(kMeasureSpeed, name, Format("%.0f MB/s", mbps), mbps >= kLeastMeasureMBps);
    }
}

void AddTargets(const BenchFile& file, const Timings& timings, const BenchOptions& options, TargetTable& table) {
    const std::string name = NameOf(file);
    const Summary& copy = timings.cases[static_cast<int>(Case::Copy)];
    const Summary& job = timings.cases[static_cast<int>(Case::Job)];
    const Summary& sox = timings.cases[static_cast<int>(Case::Sox)];
    CheckPeakMemory(name, !timings.jobFailed, job.peakBytes, table);
    if (timings.jobFailed) {
        table.Check(kWithinCopy, name, "job failed", false);
        return;
    }
    table.Check(kSameAsMinimal, name, timings.sameAsMinimal ? "same" : "differs", timings.sameAsMinimal);
    const double timesCopy = job.seconds / copy.seconds;
    table.Check(kWithinCopy, name, Format("%.2f x", timesCopy), timesCopy <= kMostTimesCopy);
    AddLevelTargets(file, timings, table);
    if (!options.sox) {
        table.Add(kFasterThanSox, name, "sox not installed", TargetTable::Outcome::Skipped);
        return;
    }
    const double timesFaster = sox.seconds / job.seconds;
    table.Check(kFasterThanSox, name, Format("%.1f x", timesFaster), timesFaster >= kLeastTimesFasterThanSox);
}

bool RunTimedFile(const BenchFile& file, const BenchOptions& options, TargetTable& table) {
    const RemovedAtEnd outputs(options.outputs / "out", false);
    const RemovedAtEnd input(file.path, options.keep);
    if (!Made(file)) {
        return false;
    }
    Timings timings;
    const int rounds = FileBytes(file) >= kGiB ? 3 : 5;
    if (!RunRounds(file, options, rounds, timings)) {
        return false;
    }
    PrintTimings(file, timings);
    AddTargets(file, timings, options, table);
    return true;
}

// Runs `body` on a big file with the folder for its outputs, which need `needed` bytes free. A file
// whose outputs find no room is skipped, with a row for `target` that says so; false when the file
// cannot be made, or from `body`. The outputs, and the input unless kept, are removed however it
// ends.
bool WithBigFile(const BenchFile& file, const BenchOptions& options, std::uint64_t needed, const char* target,
                 TargetTable& table, const std::function<bool(const fs::path& outRoot)>& body) {
    const fs::path outRoot = OutputsWithRoom(options, NameOf(file), needed);
    if (outRoot.empty()) {
        table.Add(target, NameOf(file), "no room", TargetTable::Outcome::Skipped);
        return true;
    }
    const RemovedAtEnd outputs(outRoot, false);
    const RemovedAtEnd input(file.path, options.keep);
    return Made(file) && body(outRoot);
}

// The job on a file over 4 GiB, which only a job that streams can take: its peak memory, and its
// time beside a copy's. False when the copy failed.
bool RunHugeFile(const BenchFile& file, const BenchOptions& options, TargetTable& table) {
    return WithBigFile(file, options, FileBytes(file) + kSlackBytes, kPeakMemory, table, [&](const fs::path& outRoot) {
        const Measurement copy = MeasureCase(Case::Copy, file.path, outRoot / "copy", options);
        if (!copy.ok) {
            std::fprintf(stderr, "copy failed on %s\n", file.path.c_str());
            return false;
        }
        fs::remove_all(outRoot);
        const Measurement job = MeasureCase(Case::Job, file.path, outRoot / "ProcessFile", options);
        const std::string name = NameOf(file);
        std::printf("\n%s, outputs in %s\n  copy %.1f s; job %s, %.1f s (%.2f x copy), peak memory %s\n", name.c_str(),
                    outRoot.c_str(), copy.seconds, job.ok ? "done" : "FAILED", job.seconds, job.seconds / copy.seconds,
                    MiBText(job.peakBytes).c_str());
        CheckPeakMemory(name, job.ok, job.peakBytes, table);
        return true;
    });
}

// The shipped i686 program under Wine on a big file: its output must be the native job's, byte for
// byte. The native job's peak memory counts too.
bool RunWin32File(const BenchFile& file, const BenchOptions& options, TargetTable& table) {
    if (options.win32Cli.empty()) {
        table.Add(kWin32Same, NameOf(file), "no 32-bit support", TargetTable::Outcome::Skipped);
        return true;
    }
    return WithBigFile(
        file, options, 2 * FileBytes(file) + kSlackBytes, kWin32Same, table, [&](const fs::path& outRoot) {
            const Measurement job = MeasureCase(Case::Job, file.path, outRoot / "ProcessFile", options);
            const Measurement win32 = MeasureCase(Case::Win32, file.path, outRoot / "i686", options);
            const fs::path output = fs::path(file.path).filename();
            const bool same =
                job.ok && win32.ok && SameContents(outRoot / "ProcessFile" / output, outRoot / "i686" / output);
            const char* verdict = !job.ok     ? "FAIL (job failed)"
                                  : !win32.ok ? "FAIL (i686 program failed)"
                                  : same      ? "PASS"
                                              : "FAIL (outputs differ)";
            const std::string name = NameOf(file);
            std::printf(
                "\n%s, outputs in %s\n  job %.1f s, peak memory %s; i686 program under Wine %.1f s (Wine's start "
                "included): %s\n",
                name.c_str(), outRoot.c_str(), job.seconds, MiBText(job.peakBytes).c_str(), win32.seconds, verdict);
            CheckPeakMemory(name, job.ok, job.peakBytes, table);
            table.Check(kWin32Same, name, Format("%s, %.1f s", same ? "PASS" : "FAIL", win32.seconds), same);
            return true;
        });
}

std::vector<BenchFile> TimedFiles(const BenchOptions& options) {
    const std::uint64_t large = options.quick ? 64 * kMiB : kGiB;
    const std::uint64_t medium = options.quick ? 48 * kMiB : 384 * kMiB;
    const std::string folder = options.work.string() + "/";
    return {
        {"16-bit stereo", 1, 16, large, folder + "pcm16.wav"},
        {"24-bit stereo", 1, 24, medium, folder + "pcm24.wav"},
        {"32-bit float stereo", 3, 32, medium, folder + "float32.wav"},
    };
}

BenchFile HugeFile(const BenchOptions& options) {
    const std::uint64_t bytes = options.quick ? 320 * kMiB : 6 * kGiB;
    return {"RF64 16-bit stereo", 1, 16, bytes, options.work.string() + "/huge-rf64.wav", true, true};
}

// A RIFF file as close to its 4 GiB limit as the i686 program's address space makes telling, and
// an RF64 file past it.
std::vector<BenchFile> Win32Files(const BenchOptions& options) {
    const std::uint64_t riff = options.quick ? 24 * kMiB : 3 * kGiB + kGiB / 2;
    const std::uint64_t rf64 = options.quick ? 40 * kMiB : 5 * kGiB;
    const std::string folder = options.work.string() + "/";
    return {
        {"RIFF 16-bit stereo", 1, 16, riff, folder + "i686-riff.wav", false, true},
        {"RF64 16-bit stereo", 1, 16, rf64, folder + "i686-rf64.wav", true, true},
    };
}

// False when the benchmark could not run; missed targets are in the table.
bool RunAll(const BenchOptions& options, TargetTable& table) {
    for (const BenchFile& file : TimedFiles(options)) {
        if (!RunTimedFile(file, options, table)) {
            return false;
        }
    }
    if (!RunHugeFile(HugeFile(options), options, table)) {
        return false;
    }
    for (const BenchFile& file : Win32Files(options)) {
        if (!RunWin32File(file, options, table)) {
            return false;
        }
    }
    return RunManyFiles(options, table);
}

int RunBenchmark(BenchOptions& options) {
    fs::create_directories(options.work);
    fs::create_directories(options.outputs);
    if (!EnoughRoom(options, TimedFiles(options))) {
        std::fprintf(stderr, "not enough free disk space for the benchmark's files\n");
        return 1;
    }
    options.sox = std::system("command -v sox >/dev/null 2>&1") == 0;
    std::printf("ProcessFile: gain %.1f, both ends trimmed at %.0f dB; each output flushed to disk%s\n", kGain,
                kThresholdDb, options.sox ? "" : "; sox is not installed");
    TargetTable table;
    if (!RunAll(options, table)) {
        std::printf("\nthe benchmark could not run\n");
        return 1;
    }
    table.Print();
    std::printf("\n%s\n", table.AllMet() ? "every target met" : "some targets missed");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    BenchOptions options;
    if (!ParseBenchOptions(argc, argv, options)) {
        std::fprintf(
            stderr,
            "usage: %s [--quick] [--keep] [--outputs=FOLDER] [--cli=EXE] [--win32-cli=EXE] [--win32-window=EXE] "
            "WORK-FOLDER\n",
            argv[0]);
        return 2;
    }
    try {
        return RunBenchmark(options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "the benchmark could not run: %s\n", error.what());
    }
    return 1;
}
