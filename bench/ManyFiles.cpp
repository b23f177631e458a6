// The many-files case: the inputs are copies of one file, made once; each program runs over all of
// them in one process, as a user would start it, and every output is on the disk before the time
// stops. The rounds take turns at which program goes first.
#include "ManyFiles.h"

#include "BenchCases.h"
#include "BenchFiles.h"
#include "ChildMeasure.h"
#include "DiskRoom.h"
#include "FigureText.h"
#include "RemovedAtEnd.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 1000;
constexpr int kQuickFiles = 100;
// One second of 16-bit stereo at 44.1 kHz, a tenth of it silent at each end.
constexpr std::uint64_t kDataBytes = 44100 * 4;
constexpr std::uint32_t kSilenceMs = 100;
// Room beside the outputs for the temporary files and the file system's own needs.
constexpr std::uint64_t kMarginBytes = 64 * kMiB;

constexpr double kMostCliTimesCopy = 1.3;
constexpr double kMostWindowTimesCli = 1.5;
const char kCliWithinCopy[] = "many files: command line within 1.3 x cp + sync";
const char kWindowWithinCli[] = "many files: i686 window within 1.5 x i686 command line, both under Wine";

// Where one set of outputs goes, and what the table calls it.
struct Place {
    std::string label;
    fs::path out;
};

struct Figures {
    std::vector<double> copy;
    std::vector<double> cli;
    std::vector<double> wineCli;
    std::vector<double> window;
    bool nativeFailed = false;
    bool wineFailed = false;
};

std::vector<std::string> Names(int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        names.push_back(Format("%04d.wav", i));
    }
    return names;
}

BenchFile OneSecond(const fs::path& path) {
    return {"one second", 1, 16, kDataBytes, path.string(), false, false, kSilenceMs};
}

// The first file is made, the others copied from it.
bool MakeInputs(const fs::path& folder, const std::vector<std::string>& names) {
    fs::create_directories(folder);
    const BenchFile first = OneSecond(folder / names.front());
    if (!MakeBenchFile(first)) {
        return false;
    }
    std::error_code error;
    for (std::size_t i = 1; i < names.size() && !error; ++i) {
        fs::copy_file(first.path, folder / names[i], fs::copy_options::overwrite_existing, error);
    }
    return !error;
}

bool IsTmpfs(const fs::path& folder) {
    struct statfs system {};
    return statfs(folder.c_str(), &system) == 0 && system.f_type == TMPFS_MAGIC;
}

std::string Label(const fs::path& folder) {
    return IsTmpfs(folder) ? "tmpfs" : "disk";
}

// The work folder, and the outputs folder where it is another.
std::vector<Place> Places(const BenchOptions& options) {
    std::vector<Place> places = {{Label(options.work), options.work / "out-many"}};
    if (!fs::equivalent(options.work, options.outputs)) {
        places.push_back({Label(options.outputs), options.outputs / "out-many"});
    }
    return places;
}

void EmptyFolder(const fs::path& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
}

bool HoldsAll(const fs::path& folder, std::size_t count) {
    std::error_code error;
    const auto entries = fs::directory_iterator(folder, error);
    return !error && static_cast<std::size_t>(std::distance(fs::begin(entries), fs::end(entries))) == count;
}

std::vector<char*> ArgumentArray(const std::vector<std::string>& argv) {
    std::vector<char*> array;
    for (const std::string& argument : argv) {
        array.push_back(const_cast<char*>(argument.c_str()));
    }
    array.push_back(nullptr);
    return array;
}

// In a child: runs `argv` in `folder`, its standard output thrown away.
[[noreturn]] void ExecIn(const fs::path& folder, const std::vector<std::string>& argv) {
    const int devNull = open("/dev/null", O_WRONLY);
    if (chdir(folder.c_str()) != 0 || devNull < 0 || dup2(devNull, STDOUT_FILENO) < 0) {
        _exit(126);
    }
    execvp(argv.front().c_str(), ArgumentArray(argv).data());
    _exit(127);
}

int ExitStatus(pid_t child) {
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The names are given relative to the input folder, which keeps a thousand of them within the
// length of a command line.
std::vector<std::string> WithNames(std::vector<std::string> argv, const std::vector<std::string>& names) {
    argv.insert(argv.end(), names.begin(), names.end());
    return argv;
}

// cp of every file, then the output's file system flushed: the floor for writing them.
int CopyAndSync(const fs::path& in, const fs::path& out, const std::vector<std::string>& names) {
    const pid_t cp = fork();
    if (cp == 0) {
        ExecIn(in, WithNames({"cp", "-t", fs::absolute(out).string(), "--"}, names));
    }
    if (ExitStatus(cp) != 0) {
        return 1;
    }
    const int folder = open(out.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = folder >= 0 && syncfs(folder) == 0;
    return (folder < 0 || close(folder) == 0) && synced ? 0 : 1;
}

// The job's settings, which every case follows, as the command line takes them.
std::vector<std::string> CliSettings(const fs::path& out) {
    const std::string threshold = Format("%.0f", kThresholdDb);
    return {"--volume", Format("%.0f", kGain * 100), "--head-threshold", threshold, "--tail-threshold", threshold,
            "-o",       fs::absolute(out).string()};
}

// The native runs: cp and a sync against the command line, each with an empty output folder.
void RunNativeRounds(const BenchOptions& options, const fs::path& in, const fs::path& out,
                     const std::vector<std::string>& names, int rounds, Figures& figures) {
    // Absolute, as the program starts in the input folder.
    std::vector<std::string> cli = {fs::absolute(options.cli).string()};
    const std::vector<std::string> settings = CliSettings(out);
    cli.insert(cli.end(), settings.begin(), settings.end());
    cli = WithNames(cli, names);
    for (int round = 0; round < rounds && !figures.nativeFailed; ++round) {
        for (const bool copy : {round % 2 == 0, round % 2 != 0}) {
            EmptyFolder(out);
            const Measurement m = copy ? MeasureInChild([&] { return CopyAndSync(in, out, names); })
                                       : MeasureInChild([&]() -> int { ExecIn(in, cli); });
            if (!m.ok || !HoldsAll(out, names.size())) {
                std::fprintf(stderr, "%s failed on the many files\n", copy ? "cp" : "palvotrix-cli");
                figures.nativeFailed = true;
                break;
            }
            (copy ? figures.copy : figures.cli).push_back(m.seconds);
        }
    }
}

// Runs the window driver under Wine; its figure is the seconds it timed itself, empty when the run
// failed.
std::optional<double> DriverFigure(const std::vector<std::string>& driverArguments) {
    std::vector<std::string> argv = {kWithWine, kWineExec};
    argv.insert(argv.end(), driverArguments.begin(), driverArguments.end());
    int ends[2];
    std::fflush(nullptr);
    // The disk's work left over from the previous run is not this run's to pay.
    sync();
    if (pipe(ends) != 0) {
        return std::nullopt;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        if (dup2(ends[1], STDOUT_FILENO) < 0) {
            _exit(126);
        }
        // A thousand files through a slow machine's Wine may take longer than the tests' limit.
        setenv("PALVOTRIX_WINE_TIMEOUT", "3600", 1);
        execv(argv.front().c_str(), ArgumentArray(argv).data());
        _exit(127);
    }
    close(ends[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(ends[0]);
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (ExitStatus(child) != 0 || end == text.c_str()) {
        return std::nullopt;
    }
    return seconds;
}

// The i686 runs under Wine, each timed by the driver without Wine's own start: the window from the
// click on Start to the end of its run, the command line from its start to its exit.
void RunWineRounds(const BenchOptions& options, const fs::path& in, const fs::path& out, std::size_t count, int rounds,
                   Figures& figures) {
    const std::string input = fs::absolute(in).string();
    const std::string output = fs::absolute(out).string();
    for (int round = 0; round < rounds && !figures.wineFailed; ++round) {
        for (const bool window : {round % 2 == 0, round % 2 != 0}) {
            EmptyFolder(out);
            const std::optional<double> seconds =
                window ? DriverFigure({options.win32Window.string(), "--window", input, output})
                       : DriverFigure({options.win32Window.string(), "--cli", fs::absolute(options.win32Cli).string(),
                                       input, output});
            if (!seconds || !HoldsAll(out, count)) {
                std::fprintf(stderr, "the i686 %s failed on the many files\n", window ? "window" : "command line");
                figures.wineFailed = true;
                break;
            }
            (window ? figures.window : figures.wineCli).push_back(*seconds);
        }
    }
}

void PrintRow(const char* name, const std::vector<double>& seconds, const std::string& ratio) {
    if (!seconds.empty()) {
        std::printf("  %-28s %6zu %9.3f  %s\n", name, seconds.size(), Median(seconds), ratio.c_str());
    }
}

void PrintFigures(const std::string& name, const fs::path& out, const Figures& f) {
    const double copy = Median(f.copy);
    const double wineCli = Median(f.wineCli);
    std::printf("\n%s (%s)\n", name.c_str(), out.c_str());
    std::printf("  %-28s %6s %9s\n", "case", "rounds", "median s");
    PrintRow("cp + sync", f.copy, "");
    PrintRow("palvotrix-cli", f.cli, Format("%.2f x cp + sync", Median(f.cli) / copy));
    PrintRow("i686 palvotrix-cli, Wine", f.wineCli, "");
    PrintRow("i686 window, Wine", f.window, Format("%.2f x i686 palvotrix-cli", Median(f.window) / wineCli));
}

// A target of one program's time against another's: skipped with `missing` when a program was not
// given, missed when a run failed.
void AddRatio(TargetTable& table, const char* target, const std::string& name, const char* missing, bool failed,
              double times, double most) {
    if (missing != nullptr) {
        table.Add(target, name, missing, TargetTable::Outcome::Skipped);
    } else {
        table.Check(target, name, failed ? "FAILED" : Format("%.2f x", times), !failed && times <= most);
    }
}

void AddTargets(const BenchOptions& options, const std::string& name, const Figures& f, TargetTable& table) {
    AddRatio(table, kCliWithinCopy, name, options.cli.empty() ? "no palvotrix-cli given" : nullptr, f.nativeFailed,
             Median(f.cli) / Median(f.copy), kMostCliTimesCopy);
    const bool win32 = !options.win32Window.empty() && !options.win32Cli.empty();
    AddRatio(table, kWindowWithinCli, name, win32 ? nullptr : "no 32-bit support", f.wineFailed,
             Median(f.window) / Median(f.wineCli), kMostWindowTimesCli);
}

// One place for the outputs: every case's rounds, the figures and the targets.
void RunPlace(const BenchOptions& options, const Place& place, const fs::path& in,
              const std::vector<std::string>& names, TargetTable& table) {
    const std::uint64_t outputBytes = names.size() * FileBytes(OneSecond(in / names.front()));
    const std::string name =
        Format("%zu files of %s, outputs on %s", names.size(), SizeText(outputBytes).c_str(), place.label.c_str());
    if (FreeBytes(place.out.parent_path()) < outputBytes + kMarginBytes) {
        std::printf("\n%s: skipped for lack of room in %s\n", name.c_str(), place.out.parent_path().c_str());
        table.Add(kCliWithinCopy, name, "no room", TargetTable::Outcome::Skipped);
        return;
    }
    const RemovedAtEnd outputs(place.out, false);
    Figures figures;
    if (!options.cli.empty()) {
        RunNativeRounds(options, in, place.out, names, options.quick ? 3 : 5, figures);
    }
    if (!options.win32Window.empty() && !options.win32Cli.empty()) {
        RunWineRounds(options, in, place.out, names.size(), options.quick ? 1 : 3, figures);
    }
    PrintFigures(name, place.out, figures);
    AddTargets(options, name, figures, table);
}

}  // namespace

bool RunManyFiles(const BenchOptions& options, TargetTable& table) {
    const std::vector<std::string> names = Names(options.quick ? kQuickFiles : kFiles);
    const fs::path in = options.work / "many";
    const RemovedAtEnd inputs(in, options.keep);
    if (!MakeInputs(in, names)) {
        std::fprintf(stderr, "cannot write the many files into %s\n", in.c_str());
        return false;
    }
    const std::vector<Place> places = Places(options);
    for (const Place& place : places) {
        RunPlace(options, place, in, names, table);
    }
    if (std::none_of(places.begin(), places.end(), [](const Place& place) { return place.label == "tmpfs"; })) {
        table.Add(kCliWithinCopy, Format("%zu files, outputs on tmpfs", names.size()),
                  "give --outputs= a folder on tmpfs", TargetTable::Outcome::Skipped);
    }
    return true;
}
