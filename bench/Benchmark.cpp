// The benchmark: times the per-file job against a plain copy, the minimal whole-file program and
// sox on large files of each sample width, runs it on a file over 4 GiB, and has the shipped i686
// program process big files under Wine; each case runs in a child process of its own. Ends with
// a table of the targets, the figures measured for them and whether they are met.
#include "BenchFiles.h"
#include "MinimalProcess.h"
#include "TargetTable.h"

#include "core/FileJob.h"
#include "core/ProcessingSettings.h"
#include "core/VolumeAndTrim.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr float kGain = 1.5f;
constexpr float kThresholdDb = -40.0f;
constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
// Room left free beside a case's outputs.
constexpr std::uint64_t kSlackBytes = kGiB;

constexpr double kMostTimesCopy = 1.5;
constexpr double kLeastTimesFasterThanSox = 10;
constexpr std::uint64_t kMostPeakBytes = 32 * kMiB;
const char kSameAsMinimal[] = "job's output same as the minimal program's";
const char kWithinCopy[] = "job within 1.5 x copy's time";
const char kFasterThanSox[] = "job at least 10 x faster than sox";
const char kPeakMemory[] = "job's peak memory at most 32 MiB, whatever the file's size";
const char kWin32Same[] = "i686 program under Wine: output same as job's, byte for byte";

// From the repository's root, where scripts/bench.sh starts the benchmark.
const char kWithWine[] = "scripts/with-wine.sh";
const char kWineExec[] = "scripts/wine-exec";

enum class Case { Copy, Minimal, Job, Sox, Win32 };
// The cases of the timed rounds, all but the i686 program.
constexpr int kTimedCases = 4;
const Case kTimed[kTimedCases] = {Case::Copy, Case::Minimal, Case::Job, Case::Sox};

const char* NameOf(Case c) {
    switch (c) {
        case Case::Copy:
            return "copy";
        case Case::Minimal:
            return "minimal";
        case Case::Job:
            return "ProcessFile";
        case Case::Sox:
            return "sox";
        case Case::Win32:
            return "i686";
    }
    return "";
}

struct Options {
    fs::path work;
    // The outputs go into a folder "out" in here; one on tmpfs takes the disk out of the comparison.
    fs::path outputs;
    // The i686 command-line program; empty when this machine cannot run it.
    fs::path win32Cli;
    bool quick = false;
    bool keep = false;
    bool sox = true;
};

struct Measurement {
    double seconds = 0;
    std::uint64_t peakBytes = 0;
    bool ok = false;
};

std::string SizeText(std::uint64_t bytes) {
    return bytes >= kGiB ? Format("%.1f GiB", static_cast<double>(bytes) / kGiB)
                         : Format("%.0f MiB", static_cast<double>(bytes) / kMiB);
}

std::string MiBText(std::uint64_t bytes) {
    return Format("%.1f MiB", static_cast<double>(bytes) / kMiB);
}

std::string NameOf(const BenchFile& file) {
    return file.label + " " + SizeText(FileBytes(file));
}

bool FlushFile(const fs::path& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool flushed = fd >= 0 && fsync(fd) == 0;
    return (fd < 0 || close(fd) == 0) && flushed;
}

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

int RunJob(const fs::path& in, const fs::path& outFolder) {
    ProcessingSettings settings;
    const Utf16String folder = Utf16FromUtf8(outFolder.string());
    Utf16Copy(settings.outputFolder, kTextCapacity, folder.c_str());
    settings.gain = kGain;
    settings.headThresholdDb = kThresholdDb;
    settings.tailThresholdDb = kThresholdDb;
    ProcessFile(settings, Utf16FromUtf8(in.string()).c_str());
    return settings.errorOccurred ? 1 : 0;
}

// The i686 program with the job's settings, under Wine; its log is not the benchmark's.
[[noreturn]] void RunWin32(const fs::path& exe, const fs::path& in, const fs::path& outFolder) {
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull < 0 || dup2(devNull, STDOUT_FILENO) < 0) {
        _exit(126);
    }
    // Big files take Wine longer than the tests' limit.
    setenv("PALVOTRIX_WINE_TIMEOUT", "3600", 1);
    const std::string out = fs::absolute(outFolder).string();
    const std::string input = fs::absolute(in).string();
    execl(kWithWine, kWithWine, kWineExec, exe.c_str(), "--volume", "150", "--head-threshold", "-40",
          "--tail-threshold", "-40", "-o", out.c_str(), input.c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

// Runs in the child: the exit status says whether the case did its work.
[[noreturn]] void RunInChild(Case c, const fs::path& in, const fs::path& outFolder, const Options& options) {
    const fs::path out = outFolder / in.filename();
    switch (c) {
        case Case::Copy:
            _exit(PlainCopy(in, out) ? 0 : 1);
        case Case::Minimal:
            _exit(MinimalProcess(in.c_str(), out.c_str(), kGain, LinearFromDb(kThresholdDb)) ? 0 : 1);
        case Case::Job:
            _exit(RunJob(in, outFolder));
        case Case::Sox:
            execlp("sox", "sox", "-V1", in.c_str(), out.c_str(), "vol", "1.5", "silence", "1", "0.01", "-40d",
                   "reverse", "silence", "1", "0.01", "-40d", "reverse", static_cast<char*>(nullptr));
            _exit(127);
        case Case::Win32:
            RunWin32(options.win32Cli, in, outFolder);
    }
    _exit(2);
}

// One case in a fresh child, timed from fork to its end (and, for sox, which does not flush, to
// the flush of its output); the child's peak resident memory comes from the kernel.
Measurement Measure(Case c, const fs::path& in, const fs::path& outFolder, const Options& options) {
    fs::create_directories(outFolder);
    std::fflush(nullptr);
    // The disk's work left over from the previous case (deleted outputs, journal commits) is not
    // this case's to pay.
    sync();
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        RunInChild(c, in, outFolder, options);
    }
    Measurement m;
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) {
        return m;
    }
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (c == Case::Sox) {
        m.ok = m.ok && FlushFile(outFolder / in.filename());
    }
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakBytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    return m;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
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

std::uint64_t FreeBytes(const fs::path& folder) {
    struct statvfs disk {};
    return statvfs(folder.c_str(), &disk) == 0 ? static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize : 0;
}

// The folder for a case's outputs: the outputs folder, or else the work folder (on disk, where the
// outputs folder may be a small tmpfs). Empty when neither has room; the case is then skipped.
fs::path OutputsWithRoom(const Options& options, const BenchFile& file, std::uint64_t needed) {
    for (const fs::path& folder : {options.outputs, options.work}) {
        if (FreeBytes(folder) >= needed) {
            return folder / "out";
        }
    }
    std::printf("\n%s: skipped for lack of room: its outputs need %s free, %s has %s and %s has %s\n",
                NameOf(file).c_str(), SizeText(needed).c_str(), options.outputs.c_str(),
                SizeText(FreeBytes(options.outputs)).c_str(), options.work.c_str(),
                SizeText(FreeBytes(options.work)).c_str());
    return {};
}

// Removes a case's outputs, and its input unless it is kept for another run, however the case ends.
class Scratch {
public:
    Scratch(fs::path outRoot, fs::path input, bool keepInput)
        : outRoot_(std::move(outRoot)), input_(std::move(input)), keepInput_(keepInput) {}
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(outRoot_, ignored);
        if (!keepInput_) {
            fs::remove(input_, ignored);
        }
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

private:
    fs::path outRoot_;
    fs::path input_;
    bool keepInput_;
};

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

// The order of the cases in a round: copy, minimal and job take turns at going first, so that
// none always follows the same one; sox, the slowest, comes last.
std::vector<Case> OrderOfRound(int round) {
    std::vector<Case> order = {Case::Copy, Case::Minimal, Case::Job};
    std::rotate(order.begin(), order.begin() + round % 3, order.end());
    order.push_back(Case::Sox);
    return order;
}

// Sox, which is slow, runs once on files of a GiB and more, twice on the others.
bool SoxInRound(const BenchFile& file, const Options& options, int round) {
    return options.sox && (round == 0 || (round == 1 && FileBytes(file) < kGiB));
}

// Every case `rounds` times, interleaved so that a slow spell of the machine hits them alike. A
// failing job ends the rounds and is reported; false when one of the others failed.
bool RunRounds(const BenchFile& file, const Options& options, int rounds, Timings& timings) {
    const fs::path outRoot = options.outputs / "out";
    std::vector<double> seconds[kTimedCases];
    for (int round = 0; round < rounds && !timings.jobFailed; ++round) {
        for (const Case c : OrderOfRound(round)) {
            if (c == Case::Sox && !SoxInRound(file, options, round)) {
                continue;
            }
            const Measurement m = Measure(c, file.path, outRoot / NameOf(c), options);
            const int i = static_cast<int>(c);
            timings.cases[i].peakBytes = std::max(timings.cases[i].peakBytes, m.peakBytes);
            if (!m.ok) {
                std::fprintf(stderr, "%s failed on %s\n", NameOf(c), file.path.c_str());
                timings.jobFailed = c == Case::Job;
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
        timings.cases[i].seconds = seconds[i].empty() ? 0 : Median(seconds[i]);
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

void AddTargets(const BenchFile& file, const Timings& timings, const Options& options, TargetTable& table) {
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
    if (!options.sox) {
        table.Add(kFasterThanSox, name, "sox not installed", TargetTable::Outcome::Skipped);
        return;
    }
    const double timesFaster = sox.seconds / job.seconds;
    table.Check(kFasterThanSox, name, Format("%.1f x", timesFaster), timesFaster >= kLeastTimesFasterThanSox);
}

bool RunTimedFile(const BenchFile& file, const Options& options, TargetTable& table) {
    const Scratch scratch(options.outputs / "out", file.path, options.keep);
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

// The job on a file over 4 GiB, which only a job that streams can take: its peak memory, and its
// time beside a copy's. False when the copy failed.
bool RunHugeFile(const BenchFile& file, const Options& options, TargetTable& table) {
    const std::string name = NameOf(file);
    const fs::path outRoot = OutputsWithRoom(options, file, FileBytes(file) + kSlackBytes);
    if (outRoot.empty()) {
        table.Add(kPeakMemory, name, "no room", TargetTable::Outcome::Skipped);
        return true;
    }
    const Scratch scratch(outRoot, file.path, options.keep);
    if (!Made(file)) {
        return false;
    }
    const Measurement copy = Measure(Case::Copy, file.path, outRoot / "copy", options);
    if (!copy.ok) {
        std::fprintf(stderr, "copy failed on %s\n", file.path.c_str());
        return false;
    }
    fs::remove_all(outRoot);
    const Measurement job = Measure(Case::Job, file.path, outRoot / "ProcessFile", options);
    std::printf("\n%s, outputs in %s\n  copy %.1f s; job %s, %.1f s (%.2f x copy), peak memory %s\n", name.c_str(),
                outRoot.c_str(), copy.seconds, job.ok ? "done" : "FAILED", job.seconds, job.seconds / copy.seconds,
                MiBText(job.peakBytes).c_str());
    CheckPeakMemory(name, job.ok, job.peakBytes, table);
    return true;
}

// The shipped i686 program under Wine on a big file: its output must be the native job's, byte for
// byte. The native job's peak memory counts too.
bool RunWin32File(const BenchFile& file, const Options& options, TargetTable& table) {
    const std::string name = NameOf(file);
    if (options.win32Cli.empty()) {
        table.Add(kWin32Same, name, "no 32-bit support", TargetTable::Outcome::Skipped);
        return true;
    }
    const fs::path outRoot = OutputsWithRoom(options, file, 2 * FileBytes(file) + kSlackBytes);
    if (outRoot.empty()) {
        table.Add(kWin32Same, name, "no room", TargetTable::Outcome::Skipped);
        return true;
    }
    const Scratch scratch(outRoot, file.path, options.keep);
    if (!Made(file)) {
        return false;
    }
    const Measurement job = Measure(Case::Job, file.path, outRoot / "ProcessFile", options);
    const Measurement win32 = Measure(Case::Win32, file.path, outRoot / "i686", options);
    const fs::path output = fs::path(file.path).filename();
    const bool same = job.ok && win32.ok && SameContents(outRoot / "ProcessFile" / output, outRoot / "i686" / output);
    const char* verdict = !job.ok     ? "FAIL (job failed)"
                          : !win32.ok ? "FAIL (i686 program failed)"
                          : same      ? "PASS"
                                      : "FAIL (outputs differ)";
    std::printf(
        "\n%s, outputs in %s\n  job %.1f s, peak memory %s; i686 program under Wine %.1f s (Wine's start "
        "included): %s\n",
        name.c_str(), outRoot.c_str(), job.seconds, MiBText(job.peakBytes).c_str(), win32.seconds, verdict);
    CheckPeakMemory(name, job.ok, job.peakBytes, table);
    table.Check(kWin32Same, name, Format("%s, %.1f s", same ? "PASS" : "FAIL", win32.seconds), same);
    return true;
}

std::vector<BenchFile> TimedFiles(const Options& options) {
    const std::uint64_t large = options.quick ? 64 * kMiB : kGiB;
    const std::uint64_t medium = options.quick ? 48 * kMiB : 384 * kMiB;
    const std::string folder = options.work.string() + "/";
    return {
        {"16-bit stereo", 1, 16, large, folder + "pcm16.wav"},
        {"24-bit stereo", 1, 24, medium, folder + "pcm24.wav"},
        {"32-bit float stereo", 3, 32, medium, folder + "float32.wav"},
    };
}

BenchFile HugeFile(const Options& options) {
    const std::uint64_t bytes = options.quick ? 320 * kMiB : 6 * kGiB;
    return {"RF64 16-bit stereo", 1, 16, bytes, options.work.string() + "/huge-rf64.wav", true, true};
}

// A RIFF file as close to its 4 GiB limit as the i686 program's address space makes telling, and
// an RF64 file past it.
std::vector<BenchFile> Win32Files(const Options& options) {
    const std::uint64_t riff = options.quick ? 24 * kMiB : 3 * kGiB + kGiB / 2;
    const std::uint64_t rf64 = options.quick ? 40 * kMiB : 5 * kGiB;
    const std::string folder = options.work.string() + "/";
    return {
        {"RIFF 16-bit stereo", 1, 16, riff, folder + "i686-riff.wav", false, true},
        {"RF64 16-bit stereo", 1, 16, rf64, folder + "i686-rf64.wav", true, true},
    };
}

// Room for the timed files, and for their outputs: two stay side by side for the comparison, and
// sox writes a third. The big files are checked one by one, and skipped when there is no room.
bool EnoughRoom(const Options& options, const std::vector<BenchFile>& files) {
    std::uint64_t inputs = 0;
    std::uint64_t largest = 0;
    for (const BenchFile& file : files) {
        inputs += DiskBytes(file);
        largest = std::max(largest, FileBytes(file));
    }
    const bool together = fs::equivalent(options.work, options.outputs);
    const std::uint64_t work = kSlackBytes + inputs + (together ? 3 * largest : 0);
    const std::uint64_t outputs = kSlackBytes + 3 * largest;
    std::printf("free in %s: %s, needed: %s\n", options.work.c_str(), SizeText(FreeBytes(options.work)).c_str(),
                SizeText(work).c_str());
    if (!together) {
        std::printf("free in %s: %s, needed: %s\n", options.outputs.c_str(),
                    SizeText(FreeBytes(options.outputs)).c_str(), SizeText(outputs).c_str());
    }
    return FreeBytes(options.work) >= work && (together || FreeBytes(options.outputs) >= outputs);
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            options.quick = true;
        } else if (arg == "--keep") {
            options.keep = true;
        } else if (arg.rfind("--outputs=", 0) == 0) {
            options.outputs = arg.substr(std::strlen("--outputs="));
        } else if (arg.rfind("--win32-cli=", 0) == 0) {
            options.win32Cli = arg.substr(std::strlen("--win32-cli="));
        } else if (arg.rfind("--", 0) == 0 || !options.work.empty()) {
            return false;
        } else {
            options.work = arg;
        }
    }
    if (options.outputs.empty()) {
        options.outputs = options.work;
    }
    return !options.work.empty();
}

// False when the benchmark could not run; missed targets are in the table.
bool RunAll(const Options& options, TargetTable& table) {
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
    return true;
}

int RunBenchmark(Options& options) {
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
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--quick] [--keep] [--outputs=FOLDER] [--win32-cli=EXE] WORK-FOLDER\n",
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
