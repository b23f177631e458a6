// The per-file job end to end: where the output goes, what the error flag says, and cancelling.
#include "core/FileJob.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const Bytes kWorkedExample = Riff({Fmt(1, 1, 8000, 16), Chunk("data", Samples(2, {0, 10, 500, 600, 5, 0}))});
const Bytes kWorkedExampleTrimmed = Riff({Fmt(1, 1, 8000, 16), Chunk("data", Samples(2, {500, 600}))});

void TrimAtMinus40Db(ProcessingSettings& settings) {
    settings.headThresholdDb = -40.0f;
    settings.tailThresholdDb = -40.0f;
}

// Runs the job with the current directory moved to `folder`, as the batch run would see it.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::filesystem::path& folder) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~CurrentDirectory() { std::filesystem::current_path(previous_); }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

TEST(FileJobTest, CreationValuesChangeNothing) {
    ProcessingSettings& settings = ProcessingSettings::Instance();
    EXPECT_EQ(&settings, &ProcessingSettings::Instance());
    EXPECT_EQ(settings.gain.load(), 1.0f);
    EXPECT_EQ(settings.headThresholdDb.load(), 1.0f);
    EXPECT_EQ(settings.tailThresholdDb.load(), 1.0f);
    EXPECT_EQ(settings.headMarginSec.load(), 0.0f);
    EXPECT_EQ(settings.outputFolder[0], 0);
    EXPECT_FALSE(settings.cancelRequested.load());
}

TEST(FileJobTest, EmptyOutputFolderMeansTheCurrentDirectory) {
    TempFolder in;
    TempFolder current;
    WriteBytes(in / "a.wav", kWorkedExample);
    ProcessingSettings settings;
    TrimAtMinus40Db(settings);
    {
        CurrentDirectory moved(current.Path());
        Utf16Char folder[kTextCapacity];
        ASSERT_TRUE(GetOutputFolder(settings, folder));
        EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::path(folder), current.Path()));
        ProcessFile(settings, Utf16FromPath(in / "a.wav").c_str());
    }
    EXPECT_FALSE(settings.errorOccurred);
    EXPECT_EQ(ReadBytes(current / "a.wav"), kWorkedExampleTrimmed);
}

TEST(FileJobTest, OutputInTheInputsFolderReplacesTheInput) {
    TempFolder folder;
    WriteBytes(folder / "a.wav", kWorkedExample);
    ProcessingSettings settings;
    TrimAtMinus40Db(settings);
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(folder.Path()).c_str());
    ProcessFile(settings, Utf16FromPath(folder / "a.wav").c_str());
    EXPECT_FALSE(settings.errorOccurred);
    EXPECT_EQ(ReadBytes(folder / "a.wav"), kWorkedExampleTrimmed);
    EXPECT_EQ(ListFolder(folder.Path()), std::vector<std::filesystem::path>{"a.wav"});
}

TEST(FileJobTest, UnreadableInputSetsTheFlagAndTheNextJobClearsIt) {
    TempFolder in;
    TempFolder out;
    WriteBytes(in / "bad.wav", {'R', 'I', 'F', 'F'});
    WriteBytes(in / "good.wav", kWorkedExample);
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(out.Path()).c_str());
    ProcessFile(settings, Utf16FromPath(in / "bad.wav").c_str());
    EXPECT_TRUE(settings.errorOccurred);
    EXPECT_TRUE(ListFolder(out.Path()).empty());
    ProcessFile(settings, Utf16FromPath(in / "good.wav").c_str());
    EXPECT_FALSE(settings.errorOccurred);
    EXPECT_EQ(ReadBytes(out / "good.wav"), kWorkedExample);
}

TEST(FileJobTest, CancelledJobWritesNothingAndIsNoError) {
    // The file without samples has no pass that would see the Stop.
    for (const Bytes& input : {kWorkedExample, Riff({Fmt(1, 1, 8000, 16)})}) {
        TempFolder in;
        TempFolder out;
        WriteBytes(in / "a.wav", input);
        ProcessingSettings settings;
        Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(out.Path()).c_str());
        settings.cancelRequested = true;
        ProcessFile(settings, Utf16FromPath(in / "a.wav").c_str());
        EXPECT_FALSE(settings.errorOccurred);
        EXPECT_FALSE(settings.outputWritten);
        EXPECT_TRUE(ListFolder(out.Path()).empty());
    }
}

TEST(FileJobTest, UnprocessableFilesAreCopiedAndOversizedResultsAreErrors) {
    TempFolder in;
    TempFolder out;
    const Bytes twelveBit = Riff({Fmt(1, 1, 8000, 12), Chunk("data", Samples(2, {0, 99, 0}))});
    WriteBytes(in / "12bit.wav", twelveBit);
    WriteBytes(in / "a.wav", kWorkedExample);
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(out.Path()).c_str());
    TrimAtMinus40Db(settings);
    settings.gain = 2.0f;
    ProcessFile(settings, Utf16FromPath(in / "12bit.wav").c_str());
    EXPECT_FALSE(settings.errorOccurred);
    EXPECT_EQ(ReadBytes(out / "12bit.wav"), twelveBit);

    settings.tailMarginSec = 1.0e9f;
    ProcessFile(settings, Utf16FromPath(in / "a.wav").c_str());
    EXPECT_TRUE(settings.errorOccurred);
    EXPECT_EQ(settings.reason.kind, FileReason::Kind::TooLarge);
    EXPECT_EQ(ListFolder(out.Path()), std::vector<std::filesystem::path>{"12bit.wav"});
}

TEST(FileJobTest, EachFileLeavesItsReasonOrItsNote) {
    using Kind = FileReason::Kind;
    const Bytes data = Chunk("data", Samples(2, {0, 99, 0}));
    const struct {
        const char* what;
        Bytes file;
        Kind kind;
        std::uint32_t code;
        std::uint16_t bits;
    } rows[] = {
        {"not a WAV file", {'t', 'e', 'x', 't'}, Kind::NotRiffWave, 0, 0},
        {"processed after a refusal", kWorkedExample, Kind::None, 0, 0},
        {"ADPCM", Riff({Fmt(2, 1, 8000, 4), data}), Kind::UnsupportedCoding, 2, 0},
        {"12-bit integers", Riff({Fmt(1, 1, 8000, 12), data}), Kind::UnchangedCoding, 1, 12},
        {"processed after a note", kWorkedExample, Kind::None, 0, 0},
        {"24-bit float", Riff({Fmt(3, 1, 8000, 24), data}), Kind::UnchangedCoding, 3, 24},
        {"16-bit µ-law", Riff({Fmt(7, 1, 8000, 16), data}), Kind::UnchangedCoding, 7, 16},
        {"extensible 20-bit container", Riff({FmtExtensible(1, 1, 8000, 20, 20), data}), Kind::UnchangedCoding, 1, 20},
        {"no format chunk", Riff({data}), Kind::UnchangedNoFormat, 0, 0},
        {"0 channels", Riff({Fmt(1, 0, 8000, 16), data}), Kind::UnchangedNoChannels, 0, 0},
        {"no samples to leave alone", Riff({Fmt(1, 1, 8000, 12)}), Kind::None, 0, 0},
        {"unused space after the chunks", Concat({kWorkedExample, Bytes(8, 0)}), Kind::KeptUnusedSpace, 0, 0},
        {"unused space, 12-bit integers", Concat({Riff({Fmt(1, 1, 8000, 12), data}), Bytes(8, 0)}),
         Kind::UnchangedCoding, 1, 12},
    };
    TempFolder in;
    TempFolder out;
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(out.Path()).c_str());
    for (const auto& row : rows) {
        WriteBytes(in / "x.wav", row.file);
        ProcessFile(settings, Utf16FromPath(in / "x.wav").c_str());
        EXPECT_EQ(settings.reason.kind, row.kind) << row.what;
        EXPECT_EQ(settings.reason.code, row.code) << row.what;
        EXPECT_EQ(settings.reason.bits, row.bits) << row.what;
        EXPECT_EQ(settings.errorOccurred, settings.reason.IsFailure()) << row.what;
    }
}

#ifdef _WIN32
TEST(FileJobTest, InputLockedForReadingByAnotherProgramIsAnError) {
    TempFolder in;
    TempFolder out;
    WriteBytes(in / "a.wav", kWorkedExample);
    const HANDLE lock = CreateFileW((in / "a.wav").wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(out.Path()).c_str());
    ProcessFile(settings, Utf16FromPath(in / "a.wav").c_str());
    CloseHandle(lock);
    EXPECT_TRUE(settings.errorOccurred);
    EXPECT_TRUE(ListFolder(out.Path()).empty());
}
#else
// The samples of a WAV file as sox reads them, as 32-bit integers.
std::vector<std::int32_t> DecodedBySox(const std::filesystem::path& wave, const TempFolder& folder) {
    std::filesystem::remove(folder / "decoded.raw");
    const std::string command =
        "sox -D '" + wave.string() + "' -t s32 '" + (folder / "decoded.raw").string() + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << wave;
    const Bytes raw = ReadBytes(folder / "decoded.raw");
    std::vector<std::int32_t> samples;
    for (std::size_t i = 0; i + 4 <= raw.size(); i += 4) {
        samples.push_back(static_cast<std::int32_t>(raw[i] | raw[i + 1] << 8 | raw[i + 2] << 16 |
                                                    static_cast<std::uint32_t>(raw[i + 3]) << 24));
    }
    return samples;
}

// sox reads no file whose valid bits are fewer than its container's, so those are left to the
// unit tests.
TEST(FileJobTest, ResultsOfEveryNewCodingReadBackInSox) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "sox is not installed";
    }
    const struct {
        const char* what;
        Bytes fmt;
        Bytes samples;
        std::vector<std::int32_t> decoded;  // at a gain of 0.5, in sox's 32-bit scale
    } rows[] = {
        {"extensible 16-bit stereo",
         FmtExtensible(1, 2, 8000, 16, 16),
         Samples(2, {1000, -1000, 3, -3}),
         {500 << 16, -500 * 65536, 1 << 16, -65536}},
        {"extensible 32-bit", FmtExtensible(1, 1, 8000, 32, 32), Samples(4, {2000000000, -7}), {1000000000, -3}},
        {"extensible float",
         FmtExtensible(3, 1, 8000, 32, 32),
         FloatSamples({0.5f, -0.25f}),
         {1 << 28 << 1, -(1 << 28)}},
        {"64-bit float", Fmt(3, 1, 8000, 64), DoubleSamples({0.5, -0.25}), {1 << 29, -(1 << 28)}},
        // +24 and 32256 halve to +8 and 16128; µ-law's +8 and 32124 to +8 and 15996.
        {"A-law", Fmt(6, 1, 8000, 8), {0xD4, 0xAA}, {8 << 16, 16128 << 16}},
        {"µ-law", Fmt(7, 1, 8000, 8), {0xFE, 0x80}, {8 << 16, 15996 << 16}},
    };
    TempFolder in;
    TempFolder out;
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(out.Path()).c_str());
    settings.gain = 0.5f;
    for (const auto& row : rows) {
        WriteBytes(in / "x.wav", Riff({row.fmt, Chunk("LIST", {'I', 'N', 'F', 'O', 'z'}), Chunk("data", row.samples)}));
        ProcessFile(settings, Utf16FromPath(in / "x.wav").c_str());
        ASSERT_FALSE(settings.errorOccurred) << row.what;
        EXPECT_EQ(settings.reason.kind, FileReason::Kind::None) << row.what;
        EXPECT_EQ(DecodedBySox(out / "x.wav", out), row.decoded) << row.what;
    }
}
#endif

}  // namespace
