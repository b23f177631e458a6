// The benchmark: times the per-file job against a plain copy, the minimal whole-file program and
// sox on large files of each sample width, each case in a child process of its own, and prints
// speeds, ratios and peak memory against the targets.
#include "BenchFiles.h"
#include "MinimalProcess.h"

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
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr float kGain = 1.5f;
constexpr float kThresholdDb = -40.0f;

enum class Case { Copy, Minimal, Job, Sox };
const Case kCases[] = {Case::Copy, Case::Minimal, Case::Job, Case::Sox};

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
    }
    return "";
}

struct Measurement {
    double seconds = 0;
    std::uint64_t peakBytes = 0;
    bool ok = false;
};

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

// Runs in the child: the exit status says whether the case did its work.
[[noreturn]] void RunInChild(Case c, const fs::path& in, const fs::path& outFolder) {
    const fs::path out = outFolder / in.filename();
    switch (c) {
        case Case::Copy:
            _exit(PlainCopy(in, out) ? 0 : 1);
        case Case::Minimal:
            _exit(MinimalProcess(in.c_str(), out.c_str(), kGain, LinearFromDb(kThresholdDb)) ? 0 : 1);
        case Case::Job:
            _exit(RunJob(in, outFolder));
        case Case::Sox:
            execlp("sox", "sox", in.c_str(), out.c_str(), "vol", "1.5", "silence", "1", "0.01", "-40d", "reverse",
                   "silence", "1", "0.01", "-40d", "reverse", static_cast<char*>(nullptr));
            _exit(127);
    }
    _exit(2);
}

// One case in a fresh child, timed from fork to its end (and, for sox, which does not flush, to
// the flush of its output); the child's peak resident memory comes from the kernel.
Measurement Measure(Case c, const fs::path& in, const fs::path& outFolder) {
    fs::create_directories(outFolder);
    std::fflush(nullptr);
    // The disk's work left over from the previous case (deleted outputs, journal commits) is not
    // this case's to pay.
    sync();
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        RunInChild(c, in, outFolder);
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

struct Summary {
    double seconds = 0;
    std::uint64_t peakBytes = 0;
    int rounds = 0;
};

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

struct Options {
    fs::path work;
    // The outputs go into a folder "out" in here; one on tmpfs takes the disk out of the comparison.
    fs::path outputs;
    bool quick = false;
    bool keep = false;
    bool sox = true;
};

// The order of the cases in a round: copy, minimal and job take turns at going first, so that
// none always follows the same one; sox, the slowest, comes last.
std::vector<Case> OrderOfRound(int round) {
    std::vector<Case> order = {Case::Copy, Case::Minimal, Case::Job};
    std::rotate(order.begin(), order.begin() + round % 3, order.end());
    order.push_back(Case::Sox);
    return order;
}

// Every case `rounds` times, interleaved so that a slow spell of the machine hits them alike;
// sox, which is slow, runs once on large files. False when a case failed or the job's output
// differs from the minimal program's.
bool RunRounds(const BenchFile& file, const Options& options, int rounds, Summary (&summary)[4]) {
    const fs::path outRoot = options.outputs / "out";
    std::vector<double> seconds[4];
    for (int round = 0; round < rounds; ++round) {
        for (const Case c : OrderOfRound(round)) {
            const bool bigFile = FileBytes(file) >= (std::uint64_t{1} << 30);
            if (c == Case::Sox && (!options.sox || (round > 0 && (bigFile || round > 1)))) {
                continue;
            }
            const fs::path outFolder = outRoot / NameOf(c);
            const Measurement m = Measure(c, file.path, outFolder);
            if (!m.ok) {
                std::fprintf(stderr, "%s failed on %s\n", NameOf(c), file.path.c_str());
                return false;
            }
            const int i = static_cast<int>(c);
            seconds[i].push_back(m.seconds);
            summary[i].peakBytes = std::max(summary[i].peakBytes, m.peakBytes);
        }
        const fs::path name = fs::path(file.path).filename();
        if (round == 0 && !SameContents(outRoot / "minimal" / name, outRoot / "ProcessFile" / name)) {
            std::fprintf(stderr, "ProcessFile and the minimal program disagree on %s\n", file.path.c_str());
            return false;
        }
        fs::remove_all(outRoot);
    }
    for (int i = 0; i < 4; ++i) {
        summary[i].rounds = static_cast<int>(seconds[i].size());
        summary[i].seconds = seconds[i].empty() ? 0 : Median(seconds[i]);
    }
    return true;
}

void PrintTarget(const char* what, double value, const char* relation, double target, bool met) {
    std::printf("  %-34s %7.2f %s %-5g %s\n", what, value, relation, target, met ? "met" : "MISSED");
}

bool Report(const BenchFile& file, const Summary (&summary)[4]) {
    const double bytes = static_cast<double>(FileBytes(file));
    const Summary& copy = summary[static_cast<int>(Case::Copy)];
    const Summary& minimal = summary[static_cast<int>(Case::Minimal)];
    const Summary& job = summary[static_cast<int>(Case::Job)];
    const Summary& sox = summary[static_cast<int>(Case::Sox)];
    std::printf("\n%s: %.0f MiB\n", file.label.c_str(), bytes / (1 << 20));
    std::printf("  %-12s %6s %9s %8s %10s %8s %12s\n", "case", "rounds", "median s", "MB/s", "x minimal", "x copy",
                "peak memory");
    for (const Case c : kCases) {
        const Summary& s = summary[static_cast<int>(c)];
        if (s.rounds == 0) {
            continue;
        }
        std::printf("  %-12s %6d %9.3f %8.0f %10.2f %8.2f %11.2fx\n", NameOf(c), s.rounds, s.seconds,
                    bytes / 1e6 / s.seconds, s.seconds / minimal.seconds, s.seconds / copy.seconds,
                    static_cast<double>(s.peakBytes) / bytes);
    }
    bool met = true;
    const double overMinimal = job.seconds / minimal.seconds;
    PrintTarget("ProcessFile / minimal program", overMinimal, "<=", 1.3, overMinimal <= 1.3);
    met = met && overMinimal <= 1.3;
    if (sox.rounds > 0) {
        const double soxOver = sox.seconds / job.seconds;
        PrintTarget("sox / ProcessFile", soxOver, ">=", 10, soxOver >= 10);
        met = met && soxOver >= 10;
    }
    if (bytes >= (1 << 30)) {
        const double overCopy = job.seconds / copy.seconds;
        PrintTarget("ProcessFile / copy", overCopy, "<=", 3, overCopy <= 3);
        met = met && overCopy <= 3;
    }
    const double memory = static_cast<double>(job.peakBytes) / bytes;
    PrintTarget("ProcessFile peak memory / file", memory, "<=", 1.1, memory <= 1.1);
    return met && memory <= 1.1;
}

std::vector<BenchFile> Files(const Options& options) {
    const std::uint64_t mib = std::uint64_t{1} << 20;
    const std::uint64_t large = options.quick ? 64 * mib : 1024 * mib;
    const std::uint64_t medium = options.quick ? 48 * mib : 384 * mib;
    const std::string folder = options.work.string() + "/";
    return {
        {"16-bit stereo", 1, 16, large, folder + "pcm16.wav"},
        {"24-bit stereo", 1, 24, medium, folder + "pcm24.wav"},
        {"32-bit float stereo", 3, 32, medium, folder + "float32.wav"},
    };
}

bool EnoughRoom(const fs::path& folder, std::uint64_t needed) {
    struct statvfs disk {};
    if (statvfs(folder.c_str(), &disk) != 0) {
        return false;
    }
    const std::uint64_t free = static_cast<std::uint64_t>(disk.f_bavail) * disk.f_frsize;
    std::printf("free in %s: %.1f GiB, needed: %.1f GiB\n", folder.c_str(), static_cast<double>(free) / (1 << 30),
                static_cast<double>(needed) / (1 << 30));
    return free >= needed;
}

// Room for the inputs, and for the outputs: two stay side by side for the comparison, and sox
// writes a third.
bool EnoughRoom(const Options& options, const std::vector<BenchFile>& files) {
    const std::uint64_t slack = std::uint64_t{1} << 30;
    std::uint64_t inputs = 0;
    std::uint64_t largest = 0;
    for (const BenchFile& file : files) {
        inputs += FileBytes(file);
        largest = std::max(largest, FileBytes(file));
    }
    if (fs::equivalent(options.work, options.outputs)) {
        return EnoughRoom(options.work, slack + inputs + 3 * largest);
    }
    return EnoughRoom(options.work, slack + inputs) && EnoughRoom(options.outputs, slack + 3 * largest);
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

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--quick] [--keep] [--outputs=FOLDER] WORK-FOLDER\n", argv[0]);
        return 2;
    }
    fs::create_directories(options.work);
    fs::create_directories(options.outputs);
    const std::vector<BenchFile> files = Files(options);
    if (!EnoughRoom(options, files)) {
        std::fprintf(stderr, "not enough free disk space for the benchmark's files\n");
        return 1;
    }
    options.sox = std::system("command -v sox >/dev/null 2>&1") == 0;
    std::printf("ProcessFile: gain %.1f, both ends trimmed at %.0f dB; each output flushed to disk%s\n", kGain,
                kThresholdDb, options.sox ? "" : "; sox is not installed");
    bool met = true;
    bool ran = true;
    for (const BenchFile& file : files) {
        if (!MakeBenchFile(file)) {
            std::fprintf(stderr, "cannot write %s\n", file.path.c_str());
            ran = false;
            break;
        }
        Summary summary[4];
        const int rounds = FileBytes(file) >= (std::uint64_t{1} << 30) ? 3 : 5;
        ran = RunRounds(file, options, rounds, summary);
        if (!ran) {
            break;
        }
        met = Report(file, summary) && met;
        if (!options.keep) {
            fs::remove(file.path);
        }
    }
    fs::remove_all(options.outputs / "out");
    if (!options.keep) {
        for (const BenchFile& file : files) {
            fs::remove(file.path);
        }
    }
    std::printf("\n%s\n", !ran ? "the benchmark could not run" : met ? "every target met" : "some targets missed");
    return ran ? 0 : 1;
}
