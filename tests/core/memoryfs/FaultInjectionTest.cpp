// Faults at the file layer and Stop at every step of a job: the target keeps its old bytes unless
// a complete file replaces it, no temporary file is left, and the job reports an error or a
// silent cancel, nothing else.
#include "support/MemoryFileService.h"
#include "support/WavBuilder.h"

#include "core/FileJob.h"
#include "core/PathParts.h"
#include "core/ProcessingSettings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using memoryfs::Step;

const Bytes kFmt16 = Fmt(1, 1, 8000, 16);
// An odd chunk, so that the writer also writes a pad byte.
const Bytes kInputBytes = Riff({kFmt16, Chunk("LIST", {1, 2, 3}), Chunk("data", Samples(2, {0, 10, 500, 600, 5, 0}))});
const Bytes kOutputBytes = Riff({kFmt16, Chunk("LIST", {1, 2, 3}), Chunk("data", Samples(2, {1000, 1200}))});
const Bytes kOldBytes = {'o', 'l', 'd'};

const Utf16String kInput = Utf16FromUtf8("/music") + kPathSeparator + Utf16FromUtf8("take.wav");
const Utf16String kTarget = Utf16FromUtf8("/out") + kPathSeparator + Utf16FromUtf8("take.wav");

// Where the output goes: another folder that already holds a file of that name, or the input's
// own folder, so that the output replaces the input.
struct Placement {
    const char* what;
    Utf16String folder;
    Utf16String target;
};

const Placement kPlacements[] = {
    {"into another folder", Utf16FromUtf8("/out"), kTarget},
    {"in place of the input", Utf16FromUtf8("/music"), kInput},
};

class Job {
public:
    explicit Job(const Placement& placement) : placement_(placement) {
        memoryfs::Reset();
        memoryfs::Put(kInput, kInputBytes);
        if (placement.target != kInput) {
            memoryfs::Put(placement.target, kOldBytes);
        }
        Utf16Copy(settings_.outputFolder, kTextCapacity, placement.folder.c_str());
        settings_.gain = 2.0f;
        settings_.headThresholdDb = -40.0f;
        settings_.tailThresholdDb = -40.0f;
    }
    ~Job() { memoryfs::Reset(); }
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    ProcessingSettings& Settings() { return settings_; }
    void Run() { ProcessFile(settings_, kInput.c_str()); }

    Bytes OldTargetBytes() const { return placement_.target == kInput ? kInputBytes : kOldBytes; }
    Bytes TargetBytes() const { return memoryfs::Get(placement_.target); }

    // The input, and the target when it is another file: never a temporary file.
    bool OnlyTheOriginalFilesExist() const {
        const std::size_t expected = placement_.target == kInput ? 1 : 2;
        return memoryfs::Files().size() == expected && memoryfs::Exists(kInput) && memoryfs::Exists(placement_.target);
    }

private:
    const Placement& placement_;
    ProcessingSettings settings_;
};

TEST(FaultInjectionTest, CleanRunReplacesTheTarget) {
    for (const Placement& placement : kPlacements) {
        SCOPED_TRACE(placement.what);
        Job job(placement);
        job.Run();
        EXPECT_FALSE(job.Settings().errorOccurred);
        EXPECT_EQ(job.TargetBytes(), kOutputBytes);
        EXPECT_TRUE(job.OnlyTheOriginalFilesExist());
    }
}

TEST(FaultInjectionTest, EveryFileLayerFaultIsAnErrorAndLeavesTheTarget) {
    struct Fault {
        const char* what;
        void (*arm)(memoryfs::Faults&);
        FileReason::Kind reason;
    };
    const Fault faults[] = {
        {"create fails", [](memoryfs::Faults& f) { f.failCreate = true; }, FileReason::Kind::NoTemporaryFile},
        {"flush fails", [](memoryfs::Faults& f) { f.failFlush = true; }, FileReason::Kind::CannotWrite},
        {"close fails", [](memoryfs::Faults& f) { f.failCloseAfterWriting = true; }, FileReason::Kind::CannotWrite},
        {"replacing the target fails", [](memoryfs::Faults& f) { f.failMove = true; }, FileReason::Kind::CannotWrite},
    };
    for (const Placement& placement : kPlacements) {
        for (const Fault& fault : faults) {
            SCOPED_TRACE(std::string(placement.what) + ", " + fault.what);
            Job job(placement);
            fault.arm(memoryfs::ArmedFaults());
            job.Run();
            EXPECT_TRUE(job.Settings().errorOccurred);
            EXPECT_EQ(job.Settings().reason.kind, fault.reason);
            EXPECT_EQ(job.TargetBytes(), job.OldTargetBytes());
            EXPECT_TRUE(job.OnlyTheOriginalFilesExist());
        }
    }
}

TEST(FaultInjectionTest, WriteFailingAtAnyByteIsAnErrorAndLeavesTheTarget) {
    for (const Placement& placement : kPlacements) {
        for (std::uint64_t byte = 0; byte <= kOutputBytes.size(); ++byte) {
            SCOPED_TRACE(std::string(placement.what) + ", disk full after byte " + std::to_string(byte));
            Job job(placement);
            memoryfs::ArmedFaults().failWritePastByte = byte;
            job.Run();
            const bool fits = byte == kOutputBytes.size();
            EXPECT_EQ(job.Settings().errorOccurred, !fits);
            EXPECT_EQ(job.Settings().reason.kind, fits ? FileReason::Kind::None : FileReason::Kind::NoRoom);
            EXPECT_EQ(job.TargetBytes(), fits ? kOutputBytes : job.OldTargetBytes());
            EXPECT_TRUE(job.OnlyTheOriginalFilesExist());
        }
    }
}

// A file long enough that Stop from another thread often lands in the sample pass.
Bytes LongInput(std::size_t samples) {
    Bytes data;
    data.reserve(2 * samples);
    for (std::size_t i = 0; i < samples; ++i) {
        PutLe(data, i % 7 == 0 ? 0 : 1000 + i % 3000, 2);
    }
    return Riff({kFmt16, Chunk("data", data)});
}

// The steps of a clean run, in order.
std::vector<Step> StepsOfACleanRun(const Bytes& input = kInputBytes) {
    Job job(kPlacements[0]);
    memoryfs::Put(kInput, input);
    std::vector<Step> steps;
    memoryfs::ObserveSteps([&steps](Step step) { steps.push_back(step); });
    job.Run();
    return steps;
}

TEST(FaultInjectionTest, StopAtEveryStepIsSilentAndWritesAllOrNothing) {
    const std::vector<Step> steps = StepsOfACleanRun();
    ASSERT_GT(steps.size(), 6u);
    for (const Placement& placement : kPlacements) {
        for (std::size_t stop = 0; stop < steps.size(); ++stop) {
            SCOPED_TRACE(std::string(placement.what) + ", Stop at step " + std::to_string(stop));
            Job job(placement);
            std::size_t seen = 0;
            std::atomic<bool>& cancel = job.Settings().cancelRequested;
            memoryfs::ObserveSteps([&](Step) {
                if (seen++ == stop) {
                    cancel = true;
                }
            });
            job.Run();
            EXPECT_FALSE(job.Settings().errorOccurred);
            // A Stop seen before the audio is written leaves nothing; once the file's bytes go out
            // (a file this small goes out in one write at its end) it is finished.
            const bool beforeAudio =
                steps[stop] == Step::Open || steps[stop] == Step::Read || steps[stop] == Step::Create;
            EXPECT_EQ(job.TargetBytes(), beforeAudio ? job.OldTargetBytes() : kOutputBytes);
            EXPECT_TRUE(job.OnlyTheOriginalFilesExist());
        }
    }
}

// Another program changes the input at each step of the job after it was opened: until the output
// is put in place, the output is not kept, and the new bytes stay, also where the output would have
// replaced the input. The long input's audio is read from the file while the job plans and writes.
TEST(FaultInjectionTest, InputChangedDuringTheJobIsRefusedAndItsNewBytesStay) {
    const Bytes longInput = LongInput(1 << 20);
    // The "LIST" chunk, read after "fmt ", now claims more bytes than the file has.
    Bytes relaid = kInputBytes;
    relaid[12 + 24 + 5] = 0x10;
    const struct {
        const char* what;
        Bytes before;
        Bytes after;
    } changes[] = {
        {"rewritten at the same size", kInputBytes,
         Riff({kFmt16, Chunk("LIST", {1, 2, 3}), Chunk("data", Samples(2, {0, 10, 700, 800, 5, 0}))})},
        {"rewritten with a damaged chunk list", kInputBytes, relaid},
        {"cut short", kInputBytes, Bytes(kInputBytes.begin(), kInputBytes.begin() + 20)},
        {"long, cut short", longInput, Bytes(longInput.begin(), longInput.begin() + longInput.size() / 2)},
    };
    for (const auto& change : changes) {
        const std::vector<Step> steps = StepsOfACleanRun(change.before);
        for (const Placement& placement : kPlacements) {
            // At the first step the input is not open yet: the job reads the changed file.
            for (std::size_t at = 1; at < steps.size(); ++at) {
                SCOPED_TRACE(std::string(change.what) + ", " + placement.what + ", at step " + std::to_string(at));
                Job job(placement);
                memoryfs::Put(kInput, change.before);
                std::size_t seen = 0;
                memoryfs::ObserveSteps([&](Step) {
                    if (seen++ == at) {
                        memoryfs::Put(kInput, change.after);
                    }
                });
                job.Run();
                // The move comes after the job's last look at its input.
                const bool meanwhile = steps[at] != Step::Move;
                EXPECT_EQ(job.Settings().reason.kind,
                          meanwhile ? FileReason::Kind::InputChanged : FileReason::Kind::None);
                if (meanwhile) {
                    EXPECT_EQ(memoryfs::Get(kInput), change.after);
                    EXPECT_EQ(job.TargetBytes(), placement.target == kInput ? change.after : kOldBytes);
                    EXPECT_TRUE(job.OnlyTheOriginalFilesExist());
                }
            }
        }
    }
}

// An output larger than the room left is refused before its temporary file exists; the 784-byte
// file whose head margin asks for 256 GB of silence is one.
TEST(FaultInjectionTest, OutputBeyondTheFreeSpaceIsRefusedBeforeAnythingIsWritten) {
    const struct {
        const char* what;
        Bytes input;
        float headMarginSec;
        std::uint64_t freeBytes;
        bool fits;
    } rows[] = {
        {"room for the output exactly", kInputBytes, 0.0f, kOutputBytes.size(), true},
        {"one byte short", kInputBytes, 0.0f, kOutputBytes.size() - 1, false},
        {"a margin of 20 s at 200 MHz", SilentFrameThenLoud(8, 200000000), 20.0f, std::uint64_t{100} << 30, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Job job(kPlacements[0]);
        memoryfs::Put(kInput, row.input);
        job.Settings().headMarginSec = row.headMarginSec;
        memoryfs::ArmedFaults().freeBytes = row.freeBytes;
        bool created = false;
        memoryfs::ObserveSteps([&created](Step step) { created = created || step == Step::Create; });
        job.Run();
        EXPECT_EQ(job.Settings().reason.kind, row.fits ? FileReason::Kind::None : FileReason::Kind::NoRoom);
        EXPECT_EQ(created, row.fits);
        EXPECT_EQ(job.TargetBytes(), row.fits ? kOutputBytes : kOldBytes);
    }
}

// A file's audio is written a block at a time, and a Stop between two blocks ends the file.
TEST(FaultInjectionTest, StopWhileTheAudioIsWrittenLeavesNothing) {
    for (const Placement& placement : kPlacements) {
        SCOPED_TRACE(placement.what);
        Job job(placement);
        memoryfs::Put(kInput, LongInput(1 << 21));
        std::atomic<bool>& cancel = job.Settings().cancelRequested;
        memoryfs::ObserveSteps([&](Step step) { cancel = cancel || step == Step::Write; });
        job.Run();
        EXPECT_FALSE(job.Settings().errorOccurred);
        EXPECT_FALSE(job.Settings().outputWritten);
        EXPECT_EQ(job.TargetBytes(), placement.target == kInput ? memoryfs::Get(kInput) : kOldBytes);
        EXPECT_EQ(memoryfs::Files().size(), placement.target == kInput ? 1u : 2u);
    }
}

TEST(FaultInjectionTest, StopFromAnotherThreadWritesAllOrNothing) {
    const Bytes input = LongInput(1 << 21);
    memoryfs::Reset();
    memoryfs::Put(kInput, input);
    ProcessingSettings reference;
    Utf16Copy(reference.outputFolder, kTextCapacity, Utf16FromUtf8("/out").c_str());
    reference.gain = 1.5f;
    ProcessFile(reference, kInput.c_str());
    ASSERT_FALSE(reference.errorOccurred);
    const Bytes complete = memoryfs::Get(kTarget);

    for (int delayMicroseconds = 0; delayMicroseconds < 4000; delayMicroseconds += 250) {
        SCOPED_TRACE("Stop after " + std::to_string(delayMicroseconds) + " us");
        memoryfs::Reset();
        memoryfs::Put(kInput, input);
        memoryfs::Put(kTarget, kOldBytes);
        ProcessingSettings settings;
        Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromUtf8("/out").c_str());
        settings.gain = 1.5f;
        std::thread stopper([&settings, delayMicroseconds] {
            std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds));
            settings.cancelRequested = true;
        });
        ProcessFile(settings, kInput.c_str());
        stopper.join();
        EXPECT_FALSE(settings.errorOccurred);
        const Bytes target = memoryfs::Get(kTarget);
        EXPECT_TRUE(target == kOldBytes || target == complete);
        EXPECT_EQ(memoryfs::Files().size(), 2u);
    }
    memoryfs::Reset();
}

}  // namespace
