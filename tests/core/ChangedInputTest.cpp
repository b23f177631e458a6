// An input that another program cuts short or rewrites while its job runs, on a real file system:
// bytes gone from under a view read as zeros instead of ending the program, and the file's output
// is refused. Windows never views files, and nobody may write an input that the job holds open.
#include "core/FileService.h"
#include "core/InputChange.h"
#include "core/VolumeAndTrim.h"
#include "core/WaveWriter.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#ifndef _WIN32

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

namespace {

using Kind = FileReason::Kind;

// Three 64 KiB parts: whole pages at every page size in use.
constexpr std::size_t kPart = std::size_t{64} << 10;
constexpr std::size_t kFileBytes = 3 * kPart;

FileHandle OpenInput(const std::filesystem::path& path) {
    bool notRegular = false;
    return fileservice::OpenForReading(Utf16FromPath(path).c_str(), notRegular);
}

TEST(ChangedInputTest, ViewOfAFileCutShortReadsZerosAndOnlyThatFileIsMarked) {
    TempFolder folder;
    WriteBytes(folder / "in.wav", Bytes(kFileBytes, 0x5A));
    WriteBytes(folder / "other.wav", Bytes(kFileBytes, 0x5A));
    FileHandle input = OpenInput(folder / "in.wav");
    const FileHandle other = OpenInput(folder / "other.wav");
    FileView view;
    FileView otherView;
    ASSERT_TRUE(fileservice::MapAt(input, 0, kFileBytes, view));
    ASSERT_TRUE(fileservice::MapAt(other, 0, kFileBytes, otherView));
    std::filesystem::resize_file(folder / "in.wav", kPart);

    // Read on a thread of its own, as the job's helper thread reads.
    Bytes seen(kFileBytes);
    std::thread reader([&seen, &view] { std::memcpy(seen.data(), view.At(0), kFileBytes); });
    reader.join();
    EXPECT_EQ(Bytes(seen.begin(), seen.begin() + kPart), Bytes(kPart, 0x5A));
    EXPECT_EQ(Bytes(seen.begin() + kPart, seen.end()), Bytes(2 * kPart, 0));
    EXPECT_TRUE(fileservice::ViewsFailed(input));
    EXPECT_EQ(otherView.At(kFileBytes - 1)[0], 0x5A);
    EXPECT_FALSE(fileservice::ViewsFailed(other));

    // Opened again, likely under the same descriptor, the file starts with a clean record.
    view = FileView();
    input.Close();
    const FileHandle again = OpenInput(folder / "in.wav");
    EXPECT_FALSE(fileservice::ViewsFailed(again));
}

// The guard takes only the faults in its views: any other SIGBUS still ends the process, by the
// system's default action or by a sanitizer's report of it.
TEST(ChangedInputDeathTest, BusErrorOutsideEveryViewStillEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempFolder folder;
    WriteBytes(folder / "in.wav", Bytes(kFileBytes, 1));
    const auto diedOfIt = [](int status) {
        return (WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS) || (WIFEXITED(status) && WEXITSTATUS(status) != 0);
    };
    EXPECT_EXIT(
        {
            const FileHandle input = OpenInput(folder / "in.wav");
            FileView guarded;
            if (!fileservice::MapAt(input, 0, kFileBytes, guarded)) {
                _exit(0);
            }
            void* mine = mmap(nullptr, kFileBytes, PROT_READ, MAP_SHARED, static_cast<int>(input.Native()), 0);
            std::filesystem::resize_file(folder / "in.wav", 0);
            const volatile std::uint8_t* bytes = static_cast<const std::uint8_t*>(mine);
            static_cast<void>(bytes[kFileBytes - 1]);
            _exit(0);
        },
        diedOfIt, "");
}

// Discards what a pass writes, and cuts the input short at the first write: the job's view of the
// audio, made for the first block, covers those after it.
class CuttingSink : public ByteSink {
public:
    explicit CuttingSink(std::filesystem::path input) : input_(std::move(input)) {}
    bool Write(const std::uint8_t*, std::size_t) override {
        if (!cut_) {
            std::filesystem::resize_file(input_, 0);
            cut_ = true;
        }
        return true;
    }

private:
    std::filesystem::path input_;
    bool cut_ = false;
};

TEST(ChangedInputTest, InputCutShortUnderTheJobsViewEndsOnZerosAndIsRefused) {
    TempFolder folder;
    WriteBytes(folder / "in.wav", Riff({Fmt(1, 2, 48000, 16), Chunk("data", Bytes(3 * kBlockBytes, 0x11))}));
    WaveFile wave;
    ASSERT_TRUE(wave.Read(Utf16FromPath(folder / "in.wav").c_str()));
    const std::atomic<bool> cancel{false};
    ProcessingValues values;
    values.gain = 2.0f;
    AudioPlan plan;
    ASSERT_EQ(PlanVolumeAndTrim(wave, values, cancel, plan), TrimOutcome::Done);
    CuttingSink sink(folder / "in.wav");
    SampleTally written;
    EXPECT_EQ(WritePlannedAudio(wave, plan, sink, cancel, written), TrimOutcome::Done);
    EXPECT_TRUE(fileservice::ViewsFailed(wave.file));
    EXPECT_EQ(ExplainedByInput(wave, FileReason()).kind, Kind::InputChanged);
}

// Rewrites the samples in place, without changing the size, and sets the time of the change an
// hour on, so that it differs whatever the file system's clock granularity.
void RewriteInPlace(const std::filesystem::path& path) {
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(-2, std::ios::end);
        file.write("\x7f\x7f", 2);
    }
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::hours(1));
}

TEST(ChangedInputTest, InputChangedBeforeItsOutputIsPutInPlaceIsRefused) {
    const Bytes original = Riff({Fmt(1, 1, 8000, 16), Chunk("data", Samples(2, {0, 100, 200, 0}))});
    const struct {
        const char* what;
        void (*change)(const std::filesystem::path&);
    } changes[] = {
        {"cut short", [](const auto& path) { std::filesystem::resize_file(path, 20); }},
        {"grown", [](const auto& path) { std::ofstream(path, std::ios::app | std::ios::binary) << "JUNK"; }},
        {"rewritten at the same size", RewriteInPlace},
    };
    for (const bool inPlace : {false, true}) {
        for (const auto& change : changes) {
            SCOPED_TRACE(std::string(change.what) + (inPlace ? ", in place" : ", into another folder"));
            TempFolder folder;
            const std::filesystem::path input = folder / "in.wav";
            const std::filesystem::path out = inPlace ? folder.Path() : folder.MakeFolder("out");
            WriteBytes(input, original);
            if (!inPlace) {
                WriteBytes(out / "in.wav", {1, 2, 3});
            }
            WaveFile wave;
            ASSERT_TRUE(wave.Read(Utf16FromPath(input).c_str()));
            change.change(input);
            const Bytes changed = ReadBytes(input);

            ProcessingSettings settings;
            Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromPath(out).c_str());
            FileReason reason;
            EXPECT_FALSE(WriteWaveFile(settings, Utf16FromPath(input).c_str(), wave, reason));
            EXPECT_EQ(reason.kind, Kind::InputChanged);
            EXPECT_EQ(ReadBytes(out / "in.wav"), inPlace ? changed : (Bytes{1, 2, 3}));
            EXPECT_EQ(ListFolder(out).size(), 1u);
        }
    }
}

}  // namespace

#endif
