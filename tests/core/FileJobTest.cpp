// The per-file job end to end: where the output goes, what the error flag says, and cancelling.
#include "core/ProcessingSettings.h"

#include "WavBuilder.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const Bytes kWorkedExample =
    Riff({Fmt(1, 1, 8000, 16), Chunk("data", Samples(2, {0, 10, 500, 600, 5, 0}))});
const Bytes kWorkedExampleTrimmed = Riff({Fmt(1, 1, 8000, 16), Chunk("data", Samples(2, {500, 600}))});

void TrimAtMinus40Db(ProcessingSettings& settings) {
    settings.headThresholdDb = -40.0f;
    settings.tailThresholdDb = -40.0f;
}

// Runs the job with the current directory moved to `folder`, as the batch run would see it.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::filesystem::path& folder)
        : previous_(std::filesystem::current_path()) {
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
    ScratchFolder in;
    ScratchFolder current;
    WriteBytes(in / "a.wav", kWorkedExample);
    ProcessingSettings settings;
    TrimAtMinus40Db(settings);
    {
        CurrentDirectory moved(current.Path());
        Utf16Char folder[kTextCapacity];
        ASSERT_TRUE(GetOutputFolder(settings, folder));
        EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::path(folder), current.Path()));
        ProcessFile(settings, PathText(in / "a.wav").c_str());
    }
    EXPECT_FALSE(settings.errorOccurred);
    EXPECT_EQ(ReadBytes(current / "a.wav"), kWorkedExampleTrimmed);
}

TEST(FileJobTest, OutputInTheInputsFolderReplacesTheInput) {
    ScratchFolder folder;
    WriteBytes(folder / "a.wav", kWorkedExample);
    ProcessingSettings settings;
    TrimAtMinus40Db(settings);
    Utf16Copy(settings.outputFolder, kTextCapacity, PathText(folder.Path()).c_str());
    ProcessFile(settings, PathText(folder / "a.wav").c_str());
    EXPECT_FALSE(settings.errorOccurred);
    EXPECT_EQ(ReadBytes(folder / "a.wav"), kWorkedExampleTrimmed);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.wav"});
}

TEST(FileJobTest, UnreadableInputSetsTheFlagAndTheNextJobClearsIt) {
    ScratchFolder in;
    ScratchFolder out;
    WriteBytes(in / "bad.wav", {'R', 'I', 'F', 'F'});
    WriteBytes(in / "good.wav", kWorkedExample);
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, PathText(out.Path()).c_str());
    ProcessFile(settings, PathText(in / "bad.wav").c_str());
    EXPECT_TRUE(settings.errorOccurred);
    EXPECT_TRUE(out.Names().empty());
    ProcessFile(settings, PathText(in / "good.wav").c_str());
    EXPECT_FALSE(settings.errorOccurred);
    EXPECT_EQ(ReadBytes(out / "good.wav"), kWorkedExample);
}

TEST(FileJobTest, CancelledJobWritesNothingAndIsNoError) {
    ScratchFolder in;
    ScratchFolder out;
    WriteBytes(in / "a.wav", kWorkedExample);
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, PathText(out.Path()).c_str());
    settings.cancelRequested = true;
    ProcessFile(settings, PathText(in / "a.wav").c_str());
    EXPECT_FALSE(settings.errorOccurred);
    EXPECT_TRUE(out.Names().empty());
}

TEST(FileJobTest, UnprocessableFilesAreCopiedAndOversizedResultsAreErrors) {
    ScratchFolder in;
    ScratchFolder out;
    const Bytes twelveBit = Riff({Fmt(1, 1, 8000, 12), Chunk("data", Samples(2, {0, 99, 0}))});
    WriteBytes(in / "12bit.wav", twelveBit);
    WriteBytes(in / "a.wav", kWorkedExample);
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, PathText(out.Path()).c_str());
    TrimAtMinus40Db(settings);
    settings.gain = 2.0f;
    ProcessFile(settings, PathText(in / "12bit.wav").c_str());
    EXPECT_FALSE(settings.errorOccurred);
    EXPECT_EQ(ReadBytes(out / "12bit.wav"), twelveBit);

    settings.tailMarginSec = 1.0e9f;
    ProcessFile(settings, PathText(in / "a.wav").c_str());
    EXPECT_TRUE(settings.errorOccurred);
    EXPECT_EQ(out.Names(), std::vector<std::string>{"12bit.wav"});
}

#ifdef _WIN32
TEST(FileJobTest, InputLockedForReadingByAnotherProgramIsAnError) {
    ScratchFolder in;
    ScratchFolder out;
    WriteBytes(in / "a.wav", kWorkedExample);
    const HANDLE lock = CreateFileW((in / "a.wav").wstring().c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, PathText(out.Path()).c_str());
    ProcessFile(settings, PathText(in / "a.wav").c_str());
    CloseHandle(lock);
    EXPECT_TRUE(settings.errorOccurred);
    EXPECT_TRUE(out.Names().empty());
}
#endif

}  // namespace
