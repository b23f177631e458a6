// The run log and exit status of palvotrix-cli, watched from outside the program.
#include "CliProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

const std::string kStart = "処理を開始します";
const std::string kFileError = "処理中にエラーが発生しました";
const std::string kCompleted = "処理が完了しました";
const std::string kInterrupted = "処理が中断されました";

std::string OutputLine(const std::filesystem::path& folder)
{
    return "出力先: " + Utf8Path(folder);
}

std::string ShortWave()
{
    return MakeWave(16, {0, 0, 1200, -3400, 5600, -7800, 0, 0});
}

TEST(CliRun, EmptyListLogsStartCompletionAndFolder)
{
    TestFolder folder;
    const CliResult result = RunCli({"-o", Utf8Path(folder.Path())}, folder.Path());
    EXPECT_EQ(result.lines, (Lines{kStart, kCompleted, OutputLine(folder.Path())}));
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.errors, "");
}

TEST(CliRun, WithoutOutputFolderWritesIntoTheWorkingFolder)
{
    TestFolder folder;
    const auto input = folder.MakeFolder("in") / "a.wav";
    WriteBytes(input, ShortWave());
    const CliResult result = RunCli({Utf8Path(input)}, folder.Path());
    EXPECT_EQ(result.lines, (Lines{kStart, "a.wav", kCompleted, OutputLine(folder.Path())}));
    EXPECT_TRUE(std::filesystem::exists(folder / "a.wav"));
}

TEST(CliRun, UnreadableFileIsLoggedAsErrorAndTheRunGoesOn)
{
    struct Case {
        const char* name;
        bool createFile;
        std::string contents;
    };
    const Case cases[] = {
        {"missing file", false, ""},
        {"not a WAV file", true, "this is not a RIFF file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolder folder;
        const auto out = folder.MakeFolder("out");
        WriteBytes(folder / "a.wav", ShortWave());
        if (c.createFile) {
            WriteBytes(folder / "b.wav", c.contents);
        }
        WriteBytes(folder / "c.wav", ShortWave());

        const CliResult result = RunCli({"-o", Utf8Path(out), "a.wav", "b.wav", "c.wav"}, folder.Path());
        EXPECT_EQ(result.lines,
                  (Lines{kStart, "a.wav", "b.wav", kFileError, "c.wav", kCompleted, OutputLine(out)}));
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.errors, "");
        EXPECT_TRUE(std::filesystem::exists(out / "a.wav"));
        EXPECT_FALSE(std::filesystem::exists(out / "b.wav"));
        EXPECT_TRUE(std::filesystem::exists(out / "c.wav"));
    }
}

TEST(CliRun, MissingOutputFolderFailsEveryFile)
{
    TestFolder folder;
    WriteBytes(folder / "a.wav", ShortWave());
    WriteBytes(folder / "b.wav", ShortWave());
    const auto out = folder / "no such folder";
    const CliResult result = RunCli({"a.wav", "b.wav", "--output", Utf8Path(out)}, folder.Path());
    EXPECT_EQ(result.lines, (Lines{kStart, "a.wav", kFileError, "b.wav", kFileError, kCompleted, OutputLine(out)}));
    EXPECT_EQ(result.exitStatus, 1);
}

TEST(CliRun, LogsTheNameAfterTheLastSeparatorInUtf8)
{
    TestFolder folder;
    const auto out = folder.MakeFolder(std::filesystem::u8path("出力"));
    const auto input = folder.MakeFolder(std::filesystem::u8path("サブ")) / std::filesystem::u8path("テスト.wav");
    WriteBytes(input, ShortWave());
    const CliResult result = RunCli({"-o", Utf8Path(out), "サブ/テスト.wav"}, folder.Path());
    EXPECT_EQ(result.lines, (Lines{kStart, "テスト.wav", kCompleted, OutputLine(out)}));
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(ReadBytes(out / std::filesystem::u8path("テスト.wav")), ShortWave());
}

TEST(CliRun, DoubleDashEndsTheOptions)
{
    TestFolder folder;
    const auto out = folder.MakeFolder("out");
    WriteBytes(folder / "-h.wav", ShortWave());
    const CliResult result = RunCli({"-o", Utf8Path(out), "--", "-h.wav"}, folder.Path());
    EXPECT_EQ(result.lines, (Lines{kStart, "-h.wav", kCompleted, OutputLine(out)}));
    EXPECT_TRUE(std::filesystem::exists(out / "-h.wav"));
}

TEST(CliRun, HelpAndVersionRunNothing)
{
    TestFolder folder;
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

#ifndef _WIN32

TEST(CliRun, InterruptEndsTheRunAfterTheFileInProgress)
{
    TestFolder folder;
    const auto out = folder.MakeFolder("out");
    // Large enough that reading and scanning it outlasts the delivery of the signal by far.
    WriteLargeSilentWave(folder / "large.wav", 192u << 20);
    WriteBytes(folder / "next.wav", ShortWave());

    CliProcess cli({"-o", Utf8Path(out), "large.wav", "next.wav"}, folder.Path());
    EXPECT_EQ(cli.ReadLine(), kStart);
    EXPECT_EQ(cli.ReadLine(), "large.wav");
    cli.Interrupt();
    const CliResult result = cli.Finish();

    EXPECT_EQ(result.lines, (Lines{kStart, "large.wav", kInterrupted, OutputLine(out)}));
    EXPECT_EQ(result.exitStatus, 130);
    EXPECT_EQ(result.errors, "large.wav: not written, the run was stopped\n");
    EXPECT_TRUE(std::filesystem::is_empty(out));
}

#endif

}  // namespace
