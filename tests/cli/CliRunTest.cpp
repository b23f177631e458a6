// The run log and exit status of palvotrix-cli, watched from outside the program.
#include "CliProcess.h"

#include "Version.h"
#include "support/TestFiles.h"
#ifndef _WIN32
#include "support/UnprivilegedUser.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using Lines = std::vector<std::string>;

const std::string kStart = "処理を開始します";
const std::string kFileError = "処理中にエラーが発生しました";
const std::string kCompleted = "処理が完了しました";
const std::string kInterrupted = "処理が中断されました";

std::string OutputLine(const std::filesystem::path& folder) {
    return "出力先: " + Utf8Path(folder);
}

// Standard error in lines, without their ends (CR LF on Windows).
Lines ErrorLines(const CliResult& result) {
    Lines lines;
    std::string line;
    for (const char c : result.errors) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    return lines;
}

Bytes ShortWave() {
    return MakeWave(16, {0, 0, 1200, -3400, 5600, -7800, 0, 0});
}

TEST(CliRun, EmptyListLogsStartCompletionAndFolder) {
    TempFolder folder;
    const CliResult result = RunCli({"-o", Utf8Path(folder.Path())}, folder.Path());
    EXPECT_EQ(result.lines, (Lines{kStart, kCompleted, OutputLine(folder.Path())}));
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.errors, "");
}

TEST(CliRun, WithoutOutputFolderWritesIntoTheWorkingFolder) {
    TempFolder folder;
    const auto input = folder.MakeFolder("in") / "a.wav";
    WriteBytes(input, ShortWave());
    const CliResult result = RunCli({Utf8Path(input)}, folder.Path());
    EXPECT_EQ(result.lines, (Lines{kStart, "a.wav", kCompleted, OutputLine(folder.Path())}));
    EXPECT_TRUE(std::filesystem::exists(folder / "a.wav"));
}

TEST(CliRun, UnreadableFileIsLoggedAsErrorAndTheRunGoesOn) {
    enum class Made { Nothing, File, Folder };
    struct Case {
        const char* name;
        Made made;
        std::string contents;
        std::string reason;
    };
    const Case cases[] = {
        {"missing file", Made::Nothing, "", "b.wav: could not read the file"},
        {"not a WAV file", Made::File, "this is not a RIFF file", "b.wav: not a RIFF/WAVE file"},
        {"a folder", Made::Folder, "", "b.wav: not a regular file (a folder, a pipe or a device)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const auto out = folder.MakeFolder("out");
        WriteBytes(folder / "a.wav", ShortWave());
        if (c.made == Made::File) {
            WriteBytes(folder / "b.wav", BytesOf(c.contents));
        } else if (c.made == Made::Folder) {
            folder.MakeFolder("b.wav");
        }
        WriteBytes(folder / "c.wav", ShortWave());

        const CliResult result = RunCli({"-o", Utf8Path(out), "a.wav", "b.wav", "c.wav"}, folder.Path());
        EXPECT_EQ(result.lines, (Lines{kStart, "a.wav", "b.wav", kFileError, "c.wav", kCompleted, OutputLine(out)}));
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(ErrorLines(result), Lines{c.reason});
        EXPECT_TRUE(std::filesystem::exists(out / "a.wav"));
        EXPECT_FALSE(std::filesystem::exists(out / "b.wav"));
        EXPECT_TRUE(std::filesystem::exists(out / "c.wav"));
    }
}

TEST(CliRun, MissingOutputFolderFailsEveryFile) {
    TempFolder folder;
    WriteBytes(folder / "a.wav", ShortWave());
    WriteBytes(folder / "b.wav", ShortWave());
    const auto out = folder / "no such folder";
    const CliResult result = RunCli({"a.wav", "b.wav", "--output", Utf8Path(out)}, folder.Path());
    EXPECT_EQ(result.lines, (Lines{kStart, "a.wav", kFileError, "b.wav", kFileError, kCompleted, OutputLine(out)}));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(ErrorLines(result), (Lines{"a.wav: could not create a temporary file in the output folder",
                                         "b.wav: could not create a temporary file in the output folder"}));
}

TEST(CliRun, FileWrittenUnchangedGetsANoteAndCountsAsProcessed) {
    TempFolder folder;
    const auto out = folder.MakeFolder("out");
    // A 12-bit file: its samples are copied as they are.
    Bytes twelveBit = ShortWave();
    twelveBit[34] = 12;
    WriteBytes(folder / "a.wav", twelveBit);
    WriteBytes(folder / "b.wav", ShortWave());
    // A recorder's unused space after the chunks: a header of four zero bytes and more zeros.
    const Bytes preallocated = Concat({ShortWave(), Bytes(64, 0)});
    WriteBytes(folder / "c.wav", preallocated);
    const CliResult result = RunCli({"-o", Utf8Path(out), "--volume", "50", "a.wav", "b.wav", "c.wav"}, folder.Path());
    EXPECT_EQ(result.lines, (Lines{kStart, "a.wav", "b.wav", "c.wav", kCompleted, OutputLine(out)}));
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(ErrorLines(result),
              (Lines{"a.wav: written unchanged: 12-bit integer PCM is not processed",
                     "c.wav: the 64 bytes of unused space after the last chunk were kept as they are"}));
    EXPECT_EQ(ReadBytes(out / "a.wav"), twelveBit);
    EXPECT_NE(ReadBytes(out / "b.wav"), ShortWave());
    EXPECT_EQ(ReadBytes(out / "c.wav"), Concat({ReadBytes(out / "b.wav"), Bytes(64, 0)}));
}

TEST(CliRun, LogsTheNameAfterTheLastSeparatorInUtf8) {
    TempFolder folder;
    const auto out = folder.MakeFolder(std::filesystem::u8path("出力"));
    const auto input = folder.MakeFolder(std::filesystem::u8path("サブ")) / std::filesystem::u8path("テスト.wav");
    WriteBytes(input, ShortWave());
    const CliResult result = RunCli({"-o", Utf8Path(out), "サブ/テスト.wav"}, folder.Path());
    EXPECT_EQ(result.lines, (Lines{kStart, "テスト.wav", kCompleted, OutputLine(out)}));
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(ReadBytes(out / std::filesystem::u8path("テスト.wav")), ShortWave());
}

TEST(CliRun, DoubleDashEndsTheOptionsAndALoneDashIsAFile) {
    TempFolder folder;
    const auto out = folder.MakeFolder("out");
    WriteBytes(folder / "-", ShortWave());
    WriteBytes(folder / "-h.wav", ShortWave());
    const CliResult result = RunCli({"-o", Utf8Path(out), "-", "--", "-h.wav"}, folder.Path());
    EXPECT_EQ(result.lines, (Lines{kStart, "-", "-h.wav", kCompleted, OutputLine(out)}));
    EXPECT_TRUE(std::filesystem::exists(out / "-"));
    EXPECT_TRUE(std::filesystem::exists(out / "-h.wav"));
}

TEST(CliRun, HelpAndVersionRunNothing) {
    TempFolder folder;
    WriteBytes(folder / "a.wav", ShortWave());
    const auto out = folder.MakeFolder("out");
    for (const char* option : {"-h", "--help", "--version"}) {
        SCOPED_TRACE(option);
        const CliResult result = RunCli({"-o", Utf8Path(out), "a.wav", option}, folder.Path());
        EXPECT_EQ(result.exitStatus, 0);
        ASSERT_FALSE(result.lines.empty());
        EXPECT_NE(result.lines.front(), kStart);
        EXPECT_EQ(result.errors, "");
        EXPECT_TRUE(std::filesystem::is_empty(out));
    }
}

TEST(CliRun, VersionIsTheProjects) {
    const CliResult result = RunCli({"--version"}, std::filesystem::current_path());
    EXPECT_EQ(result.lines, (Lines{"palvotrix-cli " PALVOTRIX_VERSION}));
}

TEST(CliRun, FileThatNoPathCanNameFailsAloneAndTheRunGoesOn) {
    struct Row {
        std::string argument;
        std::string shown;
        std::string reason;
    };
    std::vector<Row> rows{
        {"sub/" + std::string(600, 'l') + ".wav", std::string(600, 'l') + ".wav", "the file's path is too long"},
    };
#ifndef _WIN32
    // The name shown has its stray bytes escaped, and the path's folder does not count.
    rows.push_back({"sub\xfe/b\xff.wav", "b\\xff.wav", "the name is not valid UTF-8"});
    // An absolute path of exactly kTextCapacity characters.
    rows.push_back({"/" + std::string(kTextCapacity - 5, 'l') + ".wav", std::string(kTextCapacity - 5, 'l') + ".wav",
                    "the file's path is too long"});
#endif
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        TempFolder folder;
        const auto out = folder.MakeFolder("out");
        WriteBytes(folder / "a.wav", ShortWave());
        WriteBytes(folder / "c.wav", ShortWave());

        const CliResult result = RunCli({"-o", "out", "a.wav", row.argument, "c.wav"}, folder.Path());

        EXPECT_EQ(result.lines,
                  (Lines{kStart, "a.wav", row.shown, kFileError, "c.wav", kCompleted, OutputLine("out")}));
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(ErrorLines(result), Lines{row.shown + ": " + row.reason});
        EXPECT_EQ(ListFolder(out).size(), 2u);
        EXPECT_TRUE(std::filesystem::exists(out / "a.wav"));
        EXPECT_TRUE(std::filesystem::exists(out / "c.wav"));
    }
}

TEST(CliRun, SecondFileForAnOutputWrittenInTheRunIsRefused) {
    const Bytes loud = MakeWave(16, {0, 2000, -2000, 0});
    const Bytes doubled = MakeWave(16, {0, 4000, -4000, 0});
    const struct {
        const char* what;
        std::vector<std::string> files;
    } rows[] = {
        // In place, the second spelling would get the gain again.
        {"one file under two spellings", {"a/x.wav", "a/../a/./x.wav"}},
        // The second would replace the first's result, which replaced its original.
        {"one name from two folders", {"a/x.wav", "b/x.wav"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TempFolder folder;
        WriteBytes(folder.MakeFolder("a") / "x.wav", loud);
        WriteBytes(folder.MakeFolder("b") / "x.wav", loud);
        std::vector<std::string> arguments{"--volume", "200", "-o", "a"};
        arguments.insert(arguments.end(), row.files.begin(), row.files.end());

        const CliResult result = RunCli(arguments, folder.Path());

        EXPECT_EQ(result.lines, (Lines{kStart, "x.wav", "x.wav", kFileError, kCompleted, OutputLine("a")}));
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(ErrorLines(result), Lines{"x.wav: the same output name twice in this run"});
        EXPECT_EQ(ReadBytes(folder / "a" / "x.wav"), doubled);
        EXPECT_EQ(ReadBytes(folder / "b" / "x.wav"), loud);
    }
}

#ifndef _WIN32

// The samples of a file that a job takes seconds for: a run can be stopped while the job is surely
// still at work, however slowly the test's own process is scheduled.
constexpr std::uint32_t kLargeBytes = 2u << 30;

// Reads the log up to the name of the first file, `first`, and waits until its temporary file
// exists in `out`; false when it never does.
bool StartsWriting(CliProcess& cli, const std::string& first, const std::filesystem::path& out) {
    EXPECT_EQ(cli.ReadLine(), kStart);
    EXPECT_EQ(cli.ReadLine(), first);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::filesystem::is_empty(out) && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !std::filesystem::is_empty(out);
}

TEST(CliRun, InterruptEndsTheRunAfterTheFileInProgress) {
    TempFolder folder;
    const auto out = folder.MakeFolder("out");
    // Large enough that copying it outlasts the delivery of the signal by far, also on a loaded
    // machine; a hole on the disk, and the job is stopped long before it has written much.
    WriteLargeSilentWave(folder / "large.wav", kLargeBytes);
    WriteBytes(folder / "next.wav", ShortWave());

    CliProcess cli({"-o", Utf8Path(out), "large.wav", "next.wav"}, folder.Path());
    EXPECT_EQ(cli.ReadLine(), kStart);
    EXPECT_EQ(cli.ReadLine(), "large.wav");
    cli.Signal(SIGINT);
    const CliResult result = cli.Finish();

    EXPECT_EQ(result.lines, (Lines{kStart, "large.wav", kInterrupted, OutputLine(out)}));
    EXPECT_EQ(result.exitStatus, 130);
    EXPECT_EQ(result.errors, "large.wav: not written, the run was stopped\n");
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

TEST(CliRun, ControlCharactersInNamesAreEscaped) {
    TempFolder folder;
    const auto out = folder.MakeFolder("out");
    const std::string forged = "a\n" + kFileError + ".wav";
    const std::string coloured = "\x1b[31mred\xc2\x9b\xe2\x80\xae.wav";
    WriteBytes(folder / forged, ShortWave());
    WriteBytes(folder / coloured, ShortWave());
    const CliResult result = RunCli({"-o", Utf8Path(out), forged, coloured}, folder.Path());
    EXPECT_EQ(result.lines, (Lines{kStart, "a\\n" + kFileError + ".wav", "\\x1b[31mred\\u009b\\u202e.wav", kCompleted,
                                   OutputLine(out)}));
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(ReadBytes(out / forged), ShortWave());
}

TEST(CliRun, TerminationEndsTheRunAtOnceAndLeavesNoTemporaryFile) {
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempFolder folder;
        const auto out = folder.MakeFolder("out");
        WriteLargeSilentWave(folder / "large.wav", kLargeBytes);
        WriteBytes(folder / "next.wav", ShortWave());

        // The gain makes the job write every byte; the signal comes once the temporary file exists.
        CliProcess cli({"--volume", "200", "-o", Utf8Path(out), "large.wav", "next.wav"}, folder.Path());
        ASSERT_TRUE(StartsWriting(cli, "large.wav", out));
        cli.Signal(signal);
        const CliResult result = cli.Finish();

        EXPECT_EQ(result.exitStatus, 128 + signal);
        EXPECT_EQ(result.lines, (Lines{kStart, "large.wav", kInterrupted, OutputLine(out)}));
        EXPECT_EQ(result.errors, "large.wav: not written, the run was stopped\n");
        EXPECT_TRUE(std::filesystem::is_empty(out));
    }
}

// Ctrl+C or a termination signal once a small file's output is complete, with a large file's job
// beside it. Ctrl+C keeps a complete output; a signal keeps it only if it was put in place before,
// and standard error then says nothing of it, or else that it was not written. The log shows which
// file was in progress: the large one once the small one's job was seen to end, or else the small
// one, and then the large one's job never started as far as anyone can tell.
TEST(CliRun, StopOrSignalWhileAnOutputWaitsSaysWhetherItWasWritten) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        TempFolder folder;
        const auto out = folder.MakeFolder("out");
        WriteBytes(folder / "short.wav", ShortWave());
        WriteLargeSilentWave(folder / "large.wav", kLargeBytes);

        CliProcess cli({"--volume", "200", "-o", Utf8Path(out), "short.wav", "large.wav"}, folder.Path());
        EXPECT_EQ(cli.ReadLine(), kStart);
        EXPECT_EQ(cli.ReadLine(), "short.wav");
        // The short file's complete output and the large file's temporary file.
        const auto shortDone = [&out] {
            const auto files = ListFolder(out);
            return files.size() == 2 && std::any_of(files.begin(), files.end(), [&out](const auto& name) {
                       std::error_code gone;
                       return std::filesystem::file_size(out / name, gone) == ShortWave().size();
                   });
        };
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!shortDone() && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        cli.Signal(signal);
        const CliResult result = cli.Finish();

        const bool largeInProgress = std::count(result.lines.begin(), result.lines.end(), "large.wav") == 1;
        const bool shortWritten = std::filesystem::exists(out / "short.wav");
        EXPECT_TRUE(shortWritten || signal != SIGINT || !largeInProgress);
        EXPECT_EQ(ListFolder(out).size(), shortWritten ? 1u : 0u);
        const std::string shortLine =
            shortWritten ? "short.wav: written before the run stopped" : "short.wav: not written, the run was stopped";
        const Lines expectedErrors = !largeInProgress ? Lines{shortLine}
                                     : shortWritten   ? Lines{"large.wav: not written, the run was stopped"}
                                                      : Lines{shortLine, "large.wav: not written, the run was stopped"};
        EXPECT_EQ(ErrorLines(result), expectedErrors);
        const Lines names = largeInProgress ? Lines{"short.wav", "large.wav"} : Lines{"short.wav"};
        Lines expectedLines{kStart};
        expectedLines.insert(expectedLines.end(), names.begin(), names.end());
        expectedLines.insert(expectedLines.end(), {kInterrupted, OutputLine(out)});
        EXPECT_EQ(result.lines, expectedLines);
        EXPECT_EQ(result.exitStatus, 128 + signal);
    }
}

// Waits until the program writes no more log and no more files: it waits for a reader that never
// comes. Slowness only makes the wait longer or, at worst, sends the signal during a file.
void WaitUntilTheLogHoldsTheRun(const CliProcess& cli, const std::filesystem::path& out) {
    std::pair<std::size_t, std::size_t> seen{0, 0};
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const std::pair<std::size_t, std::size_t> state{cli.UnreadOutputBytes(), ListFolder(out).size()};
        if (state.first > 0 && state == seen) {
            return;
        }
        seen = state;
    }
}

TEST(CliRun, TerminationWhileTheLogWaitsForItsReaderEndsTheRunAtOnce) {
    // Two pages of pipe, and names long enough that a few dozen of them fill it: fewer than the
    // outputs put in place together, so that the log waits amid the lines of one group.
    constexpr std::size_t kPipeBytes = 8192;
    constexpr std::size_t kFiles = 60;
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempFolder folder;
        const auto out = folder.MakeFolder("out");
        std::vector<std::string> names;
        std::vector<std::string> arguments{"-o", "out"};
        for (std::size_t i = 0; i < kFiles; ++i) {
            names.push_back("f" + std::to_string(10 + i) + std::string(240, 'x') + ".wav");
            WriteBytes(folder / names.back(), ShortWave());
            arguments.push_back(names.back());
        }
        CliProcess cli(arguments, folder.Path(), kPipeBytes);
        WaitUntilTheLogHoldsTheRun(cli, out);
        cli.Signal(signal);
        ASSERT_TRUE(cli.EndsWithin(std::chrono::seconds(30))) << "the run waited for its log";
        const CliResult result = cli.Finish();
        EXPECT_EQ(result.exitStatus, 128 + signal);

        // The files whose lines came before the signal are in place. From the first file the log
        // could not finish on, standard error says of each, in list order, whether it was written;
        // none after those was started, and no temporary file stays.
        const Lines remarks = ErrorLines(result);
        ASSERT_FALSE(remarks.empty()) << result.errors;
        const auto first = static_cast<std::size_t>(
            std::find_if(names.begin(), names.end(),
                         [&remarks](const std::string& name) { return remarks[0].rfind(name, 0) == 0; }) -
            names.begin());
        ASSERT_LT(first + remarks.size(), kFiles + 1) << remarks[0];
        // No file is in place that the log neither named nor remarked on.
        std::size_t logged = 0;
        while (logged + 1 < result.lines.size() && result.lines[logged + 1] == names[logged]) {
            ++logged;
        }
        EXPECT_LE(first, logged);
        std::size_t inPlace = first;
        for (std::size_t i = 0; i < remarks.size(); ++i) {
            const bool written = std::filesystem::exists(out / names[first + i]);
            EXPECT_EQ(remarks[i], names[first + i] + (written ? ": written before the run stopped"
                                                              : ": not written, the run was stopped"));
            inPlace += written ? 1 : 0;
        }
        EXPECT_EQ(ListFolder(out).size(), inPlace);
        for (std::size_t i = 0; i < kFiles; ++i) {
            if (i < first || i >= first + remarks.size()) {
                EXPECT_EQ(std::filesystem::exists(out / names[i]), i < first) << i;
            }
        }
    }
}

// Another program cuts the input short while the job writes its output. The cut nearly always
// lands while the job still reads the input, which then fails alone with its reason; it may come
// after the job's last look at the input, and the whole output stands. Either way the program
// ends normally, the next file is processed, and no temporary file stays.
TEST(CliRun, InputCutShortWhileProcessedFailsAloneAndTheRunGoesOn) {
    TempFolder folder;
    const auto out = folder.MakeFolder("out");
    constexpr std::uint32_t kDataBytes = 192u << 20;
    WriteLargeSilentWave(folder / "large.wav", kDataBytes);
    const std::uintmax_t wholeSize = std::filesystem::file_size(folder / "large.wav");
    // Silent, so that the gain leaves it as it is.
    const Bytes next = MakeWave(16, {0, 0, 0, 0});
    WriteBytes(folder / "next.wav", next);

    CliProcess cli({"--volume", "200", "-o", Utf8Path(out), "large.wav", "next.wav"}, folder.Path());
    ASSERT_TRUE(StartsWriting(cli, "large.wav", out));
    std::filesystem::resize_file(folder / "large.wav", 1u << 20);
    const CliResult result = cli.Finish();

    ASSERT_TRUE(result.exitStatus == 0 || result.exitStatus == 1) << result.exitStatus;
    const bool failed = result.exitStatus == 1;
    const Lines failure = failed ? Lines{kFileError} : Lines{};
    Lines expected = {kStart, "large.wav"};
    expected.insert(expected.end(), failure.begin(), failure.end());
    expected.insert(expected.end(), {"next.wav", kCompleted, OutputLine(out)});
    EXPECT_EQ(result.lines, expected);
    EXPECT_EQ(result.errors, failed ? "large.wav: the file changed while it was processed\n" : "");
    EXPECT_EQ(ReadBytes(out / "next.wav"), next);
    if (failed) {
        EXPECT_EQ(ListFolder(out), std::vector<std::filesystem::path>{"next.wav"});
    } else {
        EXPECT_EQ(std::filesystem::file_size(out / "large.wav"), wholeSize);
        EXPECT_EQ(ListFolder(out).size(), 2u);
    }
}

TEST(CliRun, ClosedStandardOutputEndsTheLogButNotTheRun) {
    TempFolder folder;
    const auto out = folder.MakeFolder("out");
    for (const char* name : {"a.wav", "b.wav"}) {
        WriteBytes(folder / name, ShortWave());
    }
    // Standard output is a pipe whose reader is gone before the first line, as after `| head -n 0`.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    const std::string executable = PALVOTRIX_CLI_PATH;
    const pid_t child = fork();
    if (child == 0) {
        dup2(ends[1], STDOUT_FILENO);
        if (chdir(folder.Path().c_str()) == 0) {
            execl(executable.c_str(), executable.c_str(), "-o", "out", "a.wav", "b.wav", static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    close(ends[1]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (const char* name : {"a.wav", "b.wav"}) {
        EXPECT_EQ(ReadBytes(out / name), ShortWave()) << name;
    }
}

TEST(CliRun, FileWhoseThreadCannotStartGetsTheErrorLineAndTheRunGoesOn) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run the program as a user without room for a thread";
    }
    TempFolder folder;
    // A copy of the program in a folder open to others, wherever the build folder is and whatever its mode.
    ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
    const std::filesystem::path program = folder / "palvotrix-cli";
    std::filesystem::copy_file(PALVOTRIX_CLI_PATH, program);
    ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    if (!UnprivilegedUserReaches(program)) {
        GTEST_SKIP() << "the unprivileged user cannot reach " << folder.Path() << ": a folder above it is closed";
    }
    WriteBytes(folder / "a.wav", ShortWave());
    const std::filesystem::path log = folder / "log";
    const int logFile = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(logFile, 0);
    // The leak checker of a sanitizer build needs a thread of its own at the end.
    const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
    const std::string options = std::string(sanitizerOptions == nullptr ? "" : sanitizerOptions) + ":detect_leaks=0";
    const int status = StatusAsUnprivilegedUser([&] {
        // No further process or thread for the user.
        const rlimit none{0, 0};
        setenv("ASAN_OPTIONS", options.c_str(), 1);
        dup2(logFile, STDOUT_FILENO);
        dup2(logFile, STDERR_FILENO);
        if (chdir(folder.Path().c_str()) == 0 && setrlimit(RLIMIT_NPROC, &none) == 0) {
            execl(program.c_str(), program.c_str(), "-o", ".", "a.wav", "a.wav", static_cast<char*>(nullptr));
        }
        return 127;
    });
    close(logFile);
    EXPECT_EQ(status, 1);
    const std::string failure = kFileError + "\na.wav: no thread could be started for the file\n";
    EXPECT_EQ(ReadBytes(log), BytesOf(kStart + "\na.wav\n" + failure + "a.wav\n" + failure + kCompleted + "\n" +
                                      OutputLine(".") + "\n"));
}

TEST(CliRun, ConcurrentRunsOnOneOutputEachWriteAWholeFile) {
    TempFolder folder;
    const auto out = folder.MakeFolder("out");
    WriteLargeSilentWave(folder / "x.wav", 32u << 20);
    const Bytes original = ReadBytes(folder / "x.wav");
    for (int round = 0; round < 3; ++round) {
        CliProcess first({"--volume", "50", "-o", "out", "x.wav"}, folder.Path());
        CliProcess second({"--volume", "50", "-o", "out", "x.wav"}, folder.Path());
        const CliResult one = first.Finish();
        const CliResult two = second.Finish();
        EXPECT_EQ(one.exitStatus, 0) << one.errors;
        EXPECT_EQ(two.exitStatus, 0) << two.errors;
        // Silence stays silence: either run's result is the original's bytes.
        EXPECT_TRUE(ReadBytes(out / "x.wav") == original);
        EXPECT_EQ(ListFolder(out), std::vector<std::filesystem::path>{"x.wav"});
    }
}

#endif

}  // namespace

namespace {

TEST(CliRun, ClippedFilesAreNamedOnStandardErrorWithTheCount) {
    TempFolder folder;
    WriteBytes(folder / "pcm.wav", MakeWave(16, {0, 4000, -4000, 100}));
    WriteBytes(folder / "float.wav", Riff({Fmt(3, 1, 8000, 32), Chunk("data", FloatSamples({0.5f, 0.05f}))}));
    WriteBytes(folder / "quiet.wav", MakeWave(16, {0, 100, -3000, 0}));
    const auto out = folder.MakeFolder("out");
    const CliResult result =
        RunCli({"-o", Utf8Path(out), "--volume", "1000", "pcm.wav", "float.wav", "quiet.wav"}, folder.Path());
    // A clipped file is still a processed one.
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(ErrorLines(result), (Lines{"pcm.wav: 2 samples clipped", "float.wav: 1 samples above full scale"}));
}

}  // namespace
