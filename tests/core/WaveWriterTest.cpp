// The writer: output naming, the RIFF layout with pad bytes, and replacing the target safely.
#include "core/WaveWriter.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

Utf16String Text(const std::string& utf8) {
    return Utf16FromUtf8(utf8);
}

void SetOutputFolder(ProcessingSettings& settings, const std::filesystem::path& folder) {
    ASSERT_TRUE(Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(folder).c_str()));
}

using Kind = FileReason::Kind;

// None when the file was written, or why it was not.
Kind Write(ProcessingSettings& settings, const std::filesystem::path& input, WaveFile& wave) {
    FileReason reason;
    return WriteWaveFile(settings, Utf16FromPath(input).c_str(), wave, reason) ? Kind::None : reason.kind;
}

Kind Write(ProcessingSettings& settings, const std::filesystem::path& input, WaveFile&& wave) {
    return Write(settings, input, wave);
}

WaveFile ReadBack(const std::filesystem::path& path) {
    WaveFile wave;
    EXPECT_TRUE(wave.Read(Utf16FromPath(path).c_str()));
    return wave;
}

const Utf16Char kSeparator =
#ifdef _WIN32
    Utf16Char('\\');
#else
    Utf16Char('/');
#endif

TEST(WaveWriterTest, OutputPathIsFolderPlusInputFileName) {
    ProcessingSettings settings;
    SetOutputFolder(settings, "out");
    Utf16Char path[kTextCapacity];
    const Utf16String input = Text("in") + kSeparator + Text("sub") + kSeparator + Text("Take 1.WAV");
    ASSERT_TRUE(BuildOutputPath(settings, input.c_str(), path));
    EXPECT_EQ(Utf16String(path), Text("out") + kSeparator + Text("Take 1.WAV"));
    // A bare file name is the whole name.
    ASSERT_TRUE(BuildOutputPath(settings, Text("bare.wav").c_str(), path));
    EXPECT_EQ(Utf16String(path), Text("out") + kSeparator + Text("bare.wav"));
}

TEST(WaveWriterTest, OutputPathMustFitIn512Units) {
    ProcessingSettings settings;
    settings.outputFolder[0] = 0;
    const Utf16String folder(500, Utf16Char('f'));
    ASSERT_TRUE(Utf16Copy(settings.outputFolder, kTextCapacity, folder.c_str()));
    Utf16Char path[kTextCapacity];
    // 500 + separator + 10 units and the terminator fill the buffer exactly.
    EXPECT_TRUE(BuildOutputPath(settings, (kSeparator + Text("123456.wav")).c_str(), path));
    EXPECT_FALSE(BuildOutputPath(settings, (kSeparator + Text("1234567.wav")).c_str(), path));
    EXPECT_EQ(path[0], 0);
    EXPECT_EQ(Write(settings, "1234567.wav", WaveFile{}), Kind::PathTooLong);
    // An output folder that fills all 512 units without a terminator names nothing.
    std::fill(std::begin(settings.outputFolder), std::end(settings.outputFolder), Utf16Char('g'));
    EXPECT_FALSE(BuildOutputPath(settings, Text("a.wav").c_str(), path));
}

TEST(WaveWriterTest, EmptyChunkListGivesTheTwelveByteFile) {
    TempFolder folder;
    ProcessingSettings settings;
    SetOutputFolder(settings, folder.Path());
    ASSERT_EQ(Write(settings, folder / "empty.wav", WaveFile{}), Kind::None);
    EXPECT_EQ(ReadBytes(folder / "empty.wav"), (Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}));
}

TEST(WaveWriterTest, ReadAndWrittenFileIsByteIdenticalWithPadBytes) {
    TempFolder in;
    TempFolder out;
    // Odd chunks carry a pad byte that only the RIFF size counts.
    const Bytes file = Riff({Chunk("LIST", {'I', 'N', 'F', 'O', 'a'}), Fmt(1, 1, 8000, 8), Chunk("data", {1, 2, 3}),
                             Chunk("junk", {9, 9})});
    WriteBytes(in / "odd.wav", file);
    WaveFile wave = ReadBack(in / "odd.wav");
    ProcessingSettings settings;
    SetOutputFolder(settings, out.Path());
    ASSERT_EQ(Write(settings, in / "odd.wav", wave), Kind::None);
    EXPECT_EQ(ReadBytes(out / "odd.wav"), file);
}

TEST(WaveWriterTest, SizesDescribeAShortenedDataChunk) {
    TempFolder folder;
    WaveFile wave = InMemoryWave(1, 1, 16, 16000, Samples(2, {1, 2, 3, 4}));
    wave.chunks[0]->size = 3;
    ProcessingSettings settings;
    SetOutputFolder(settings, folder.Path());
    ASSERT_EQ(Write(settings, folder / "x.wav", wave), Kind::None);
    EXPECT_EQ(ReadBytes(folder / "x.wav"), Riff({Chunk("data", {1, 0, 2})}));
}

TEST(WaveWriterTest, ExistingFileIsReplacedAndNoTemporaryFileRemains) {
    TempFolder folder;
    WriteBytes(folder / "x.wav", Bytes(1000, 0xAA));
    ProcessingSettings settings;
    SetOutputFolder(settings, folder.Path());
    ASSERT_EQ(Write(settings, folder / "x.wav", WaveFile{}), Kind::None);
    EXPECT_EQ(ReadBytes(folder / "x.wav"), Riff({}));
    EXPECT_EQ(ListFolder(folder.Path()), std::vector<std::filesystem::path>{"x.wav"});
}

TEST(WaveWriterTest, FailedReplaceLeavesTheTargetAndNoTemporaryFile) {
    TempFolder folder;
    std::filesystem::create_directory(folder / "x.wav");
    WriteBytes(folder / "x.wav" / "kept", {1});
    ProcessingSettings settings;
    SetOutputFolder(settings, folder.Path());
    EXPECT_EQ(Write(settings, folder / "x.wav", WaveFile{}), Kind::CannotWrite);
    EXPECT_EQ(ListFolder(folder.Path()), std::vector<std::filesystem::path>{"x.wav"});
    EXPECT_EQ(ReadBytes(folder / "x.wav" / "kept"), Bytes{1});
}

TEST(WaveWriterTest, MissingOutputFolderFails) {
    TempFolder folder;
    ProcessingSettings settings;
    SetOutputFolder(settings, folder / "absent");
    EXPECT_EQ(Write(settings, folder / "x.wav", WaveFile{}), Kind::NoTemporaryFile);
    EXPECT_FALSE(std::filesystem::exists(folder / "absent"));
}

TEST(WaveWriterTest, RiffSizeBeyond32BitsFailsBeforeAnythingIsWritten) {
    TempFolder folder;
    WaveFile wave;
    for (int i = 0; i < 2; ++i) {
        // Claimed sizes only: the writer must refuse before it reads any data.
        auto chunk = std::make_shared<ChunkInfo>();
        std::memcpy(chunk->id, "junk", 4);
        chunk->size = 0x80000000u;
        wave.chunks.push_back(chunk);
    }
    ProcessingSettings settings;
    SetOutputFolder(settings, folder.Path());
    EXPECT_EQ(Write(settings, folder / "x.wav", wave), Kind::TooLarge);
    EXPECT_TRUE(ListFolder(folder.Path()).empty());
}

// Abandoning ends every write of the process for good, so each row runs in a child process.
TEST(WaveWriterTest, AbandonedRunTellsWhetherTheFileInProgressWasWritten) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char* what;
        const char* written;  // written before the end, or nothing
        std::string asked;
        bool answer;
    } rows[] = {
        {"its output was put in place", "a.wav", "a.wav", true},
        {"only the file before it was written", "a.wav", "b.wav", false},
        {"nothing was written", nullptr, "a.wav", false},
        {"its output path does not fit", nullptr, std::string(kTextCapacity, 'x') + ".wav", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        TempFolder folder;
        ProcessingSettings settings;
        SetOutputFolder(settings, folder / "out");
        std::filesystem::create_directory(folder / "out");
        EXPECT_EXIT(
            {
                if (row.written != nullptr && Write(settings, folder / row.written, WaveFile{}) != Kind::None) {
                    std::_Exit(2);
                }
                const std::vector<bool> placed = AbandonWritesInProgress(settings, {Utf16FromPath(folder / row.asked)});
                std::_Exit(placed.at(0) ? 1 : 0);
            },
            testing::ExitedWithCode(row.answer ? 1 : 0), "");
    }
}

#ifdef _WIN32
TEST(WaveWriterTest, TargetLockedByAnotherProgramFails) {
    TempFolder folder;
    WriteBytes(folder / "x.wav", {5, 5});
    const HANDLE lock = CreateFileW((folder / "x.wav").wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    ProcessingSettings settings;
    SetOutputFolder(settings, folder.Path());
    const Kind written = Write(settings, folder / "x.wav", WaveFile{});
    CloseHandle(lock);
    EXPECT_EQ(written, Kind::CannotWrite);
    EXPECT_EQ(ReadBytes(folder / "x.wav"), (Bytes{5, 5}));
    EXPECT_EQ(ListFolder(folder.Path()), std::vector<std::filesystem::path>{"x.wav"});
}
#else
TEST(WaveWriterTest, WrittenFileReadsInSox) {
    if (std::system("command -v soxi >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "sox is not installed";
    }
    TempFolder folder;
    // Stereo 24-bit with an odd LIST chunk before the data and an odd chunk after it.
    Bytes samples;
    for (int i = 0; i < 2 * 1000; ++i) {
        PutLe(samples, static_cast<std::uint64_t>((i * 7919) % 200000 - 100000), 3);
    }
    WaveFile wave;
    const Bytes file = Riff({Fmt(1, 2, 44100, 24), Chunk("LIST", {'I', 'N', 'F', 'O', 'z'}), Chunk("data", samples),
                             Chunk("junk", {1, 2, 3})});
    WriteBytes(folder / "in.wav", file);
    ProcessingSettings settings;
    SetOutputFolder(settings, folder / "out");
    std::filesystem::create_directory(folder / "out");
    wave = ReadBack(folder / "in.wav");
    ASSERT_EQ(Write(settings, folder / "in.wav", wave), Kind::None);
    const std::string command =
        "soxi -s '" + (folder / "out" / "in.wav").string() + "' > '" + (folder / "samples.txt").string() + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Bytes reported = ReadBytes(folder / "samples.txt");
    EXPECT_EQ(std::string(reported.begin(), reported.end()), "1000\n");
}
#endif

}  // namespace
