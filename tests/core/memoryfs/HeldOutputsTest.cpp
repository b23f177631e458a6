// A run whose outputs are held and put in place a group at a time, with the real job and writer over
// the in-memory file services: when the log shows each line against the flushes and moves, what a
// failed flush or move leaves, and a Stop while outputs wait.
#include "support/MemoryFileService.h"
#include "support/WavBuilder.h"

#include "core/FileRun.h"
#include "core/PathParts.h"
#include "core/WaveWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace {

using memoryfs::Step;
using Events = std::vector<std::string>;

const Bytes kInput = MakeWave(16, {0, 10, 500, 600, 5, 0});
const Bytes kOld = {'o', 'l', 'd'};

Utf16String PathOf(const char* folder, const char* name) {
    return Utf16FromUtf8(folder) + kPathSeparator + Utf16FromUtf8(name);
}

// The log's lines and the file steps that matter here, in the one order they happened.
class EventLog : public RunObserver {
public:
    void RunStarted() override {}
    void FileStarted(const Utf16Char* name, std::size_t number, std::size_t) override {
        events.push_back(Utf8FromUtf16(name) + " " + std::to_string(number));
    }
    void FileStopped(bool written) override { events.push_back(written ? "stopped, written" : "stopped, not written"); }
    void FileFailed(const FileReason& reason) override { events.push_back("failed: " + EnglishText(reason)); }
    void FileNote(const FileReason& note) override { events.push_back("note: " + EnglishText(note)); }
    void FileProgress(unsigned percent) override { events.push_back(std::to_string(percent) + " %"); }
    void FileEnded(const FileResult& result) override {
        results.push_back(result);
        inPlaceWhenEnded.push_back(!result.output.empty() && memoryfs::Get(result.output) != kOld);
    }
    void RunEnded(bool interrupted, const Utf16Char*) override {
        events.push_back(interrupted ? "interrupted" : "ended");
    }

    Events events;
    std::vector<FileResult> results;
    // For each file, whether its output was in place when its lines ended.
    std::vector<bool> inPlaceWhenEnded;
};

// Runs each task on the calling thread; the second one's progress is due before it runs, when asked.
class InlineRunner : public TaskRunner {
public:
    InlineRunner(FileRun& run, bool pollSecond) : run_(run), pollSecond_(pollSecond) {}
    bool RunToEnd(Task& task) override {
        if (pollSecond_ && ++tasks_ == 2) {
            run_.PollProgress(ProgressPacer::Clock::now() + std::chrono::seconds(2));
        }
        task.Run();
        return true;
    }

private:
    FileRun& run_;
    bool pollSecond_;
    int tasks_ = 0;
};

// Starts each job beside the one before. A job started while the one before has not run yet runs
// at once, so that the later of the two holds its output first; a job not run yet runs when the
// run waits for it, after the front end's poll has found its progress due.
class ReversingRunner : public TaskRunner {
public:
    explicit ReversingRunner(FileRun& run) : run_(run) {}
    bool RunToEnd(Task& task) override {
        task.Run();
        return true;
    }
    bool Start(Task& task) override {
        if (notRun_ == nullptr) {
            notRun_ = &task;
        } else {
            task.Run();
        }
        return true;
    }
    void Finish(Task& task) override {
        run_.PollProgress(ProgressPacer::Clock::now() + std::chrono::seconds(2));
        if (&task == notRun_) {
            notRun_ = nullptr;
            task.Run();
        }
    }

private:
    FileRun& run_;
    Task* notRun_ = nullptr;
};

// Starts every task on a worker of its own, where it runs only once the run waits for it. Where
// asked, the next job's progress is due at once, and a group being placed ends while that job runs.
class PlacingRunner : public TaskRunner {
public:
    PlacingRunner(FileRun& run, bool placeDuringNextJob) : run_(run), placeDuringNextJob_(placeDuringNextJob) {}
    bool RunToEnd(Task& task) override {
        task.Run();
        return true;
    }
    bool Start(Task& task) override {
        started_.push_back(&task);
        return true;
    }
    void Finish(Task& task) override {
        if (placeDuringNextJob_ && dynamic_cast<FileTask*>(&task) != nullptr) {
            run_.PollProgress(ProgressPacer::Clock::now() + std::chrono::seconds(2));
            const auto placing = std::find_if(started_.begin(), started_.end(),
                                              [](Task* t) { return dynamic_cast<PlacingTask*>(t) != nullptr; });
            if (placing != started_.end()) {
                Finish(**placing);
                run_.PollProgress(ProgressPacer::Clock::now() + std::chrono::seconds(3));
            }
        }
        const auto found = std::find(started_.begin(), started_.end(), &task);
        if (found != started_.end()) {
            started_.erase(found);
            groupsPlaced += dynamic_cast<PlacingTask*>(&task) != nullptr ? 1 : 0;
            task.Run();
        }
    }

    std::size_t groupsPlaced = 0;

private:
    FileRun& run_;
    bool placeDuringNextJob_;
    std::vector<Task*> started_;
};

enum class Runner { Inline, InlineSecondDue, Reversing, PlacingBeside, PlacingDuringNextJob };

struct RunOutcome {
    Events events;
    std::vector<FileResult> results;
    bool anyFileFailed;
    std::vector<bool> inPlaceWhenEnded;
    // Those that went into place on a worker of the runner's.
    std::size_t groupsPlacedBeside;
};

// `onStep` sees every file step first, with the log so far, e.g. to arm a fault or press Stop.
RunOutcome RunFiles(const std::vector<Utf16String>& inputs, std::function<void(Step, Events&)> onStep = nullptr,
                    Runner kind = Runner::Inline) {
    ProcessingSettings settings;
    Utf16Copy(settings.outputFolder, kTextCapacity, Utf16FromUtf8("/out").c_str());
    settings.gain = 2.0f;
    EventLog log;
    FileRun run(settings, log);
    memoryfs::ObserveSteps([&](Step step) {
        if (step == Step::Flush || step == Step::Move || step == Step::Open) {
            log.events.push_back(step == Step::Flush ? "flush" : step == Step::Move ? "move" : "open");
        }
        if (onStep) {
            onStep(step, log.events);
        }
        if (!log.events.empty() && log.events.back() == "stop here") {
            settings.cancelRequested = true;
        }
    });
    InlineRunner inlineRunner(run, kind == Runner::InlineSecondDue);
    ReversingRunner reversingRunner(run);
    PlacingRunner placingRunner(run, kind == Runner::PlacingDuringNextJob);
    TaskRunner& runner = kind == Runner::Reversing ? static_cast<TaskRunner&>(reversingRunner)
                         : kind == Runner::PlacingBeside || kind == Runner::PlacingDuringNextJob
                             ? static_cast<TaskRunner&>(placingRunner)
                             : inlineRunner;
    run.Start(inputs.size());
    for (const Utf16String& input : inputs) {
        if (!run.RunFile(input.c_str(), runner)) {
            break;
        }
    }
    run.End(runner);
    memoryfs::ObserveSteps(nullptr);
    return {log.events, log.results, run.AnyFileFailed(), log.inPlaceWhenEnded, placingRunner.groupsPlaced};
}

class HeldOutputs : public testing::Test {
protected:
    void SetUp() override {
        memoryfs::Reset();
        for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
            memoryfs::Put(PathOf("/in", name), kInput);
            memoryfs::Put(PathOf("/out", name), kOld);
        }
        memoryfs::Put(PathOf("/in", "broken.wav"), Bytes{'n', 'o', 't'});
    }
    void TearDown() override { memoryfs::Reset(); }

    // Only the inputs and the outputs: no temporary file.
    static void ExpectNoTemporaryFile() {
        for (const auto& file : memoryfs::Files()) {
            EXPECT_EQ(Utf8FromUtf16(file.first.c_str()).find(kTemporarySuffix), std::string::npos);
        }
    }
};

// All outputs of the group reach the disk before any is moved, and a file's name shows only once
// the outputs before it are in place, so that its lines never come before theirs.
TEST_F(HeldOutputs, TheNextNameShowsOnceTheOutputsBeforeItAreInPlace) {
    const RunOutcome run = RunFiles({PathOf("/in", "a.wav"), PathOf("/in", "broken.wav"), PathOf("/in", "b.wav")});
    EXPECT_EQ(run.events, (Events{"a.wav 1", "open", "open", "open", "flush", "flush", "move", "move", "broken.wav 2",
                                  "failed: not a RIFF/WAVE file", "b.wav 3", "ended"}));
    EXPECT_NE(memoryfs::Get(PathOf("/out", "a.wav")), kOld);
    EXPECT_NE(memoryfs::Get(PathOf("/out", "b.wav")), kOld);
    ASSERT_EQ(run.results.size(), 3u);
    EXPECT_EQ(run.results[0].output, PathOf("/out", "a.wav"));
    EXPECT_TRUE(run.results[0].audio.has_value());
    EXPECT_EQ(run.results[1].status, FileResult::Status::Failed);
    ExpectNoTemporaryFile();
}

// A failed flush or move puts its error line under its own file, leaves the file it would have
// replaced, and the file after it is still written.
TEST_F(HeldOutputs, AFailedFlushOrMoveFailsItsOwnFileAndLeavesTheOriginal) {
    const struct {
        const char* what;
        Step step;
        bool memoryfs::Faults::*fault;
    } rows[] = {
        {"flush", Step::Flush, &memoryfs::Faults::failFlush},
        {"move", Step::Move, &memoryfs::Faults::failMove},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        int seen = 0;
        // Only the first output's step fails.
        const RunOutcome run = RunFiles({PathOf("/in", "a.wav"), PathOf("/in", "b.wav")}, [&](Step step, Events&) {
            if (step == row.step) {
                memoryfs::ArmedFaults().*row.fault = ++seen == 1;
            }
        });
        const Events lines(run.events.end() - 3, run.events.end());
        EXPECT_EQ(lines, (Events{"failed: could not write the output file", "b.wav 2", "ended"}));
        EXPECT_EQ(memoryfs::Get(PathOf("/out", "a.wav")), kOld);
        EXPECT_NE(memoryfs::Get(PathOf("/out", "b.wav")), kOld);
        EXPECT_TRUE(run.anyFileFailed);
        ASSERT_EQ(run.results.size(), 2u);
        EXPECT_EQ(run.results[0].status, FileResult::Status::Failed);
        EXPECT_TRUE(run.results[0].output.empty());
        EXPECT_FALSE(run.results[0].audio.has_value());
        EXPECT_EQ(run.results[1].status, FileResult::Status::Processed);
        ExpectNoTemporaryFile();
    }
}

// A Stop while an output waits to be put in place: the outputs complete by then go into place, the
// file stopped half-way is untouched, and the log says which is which.
TEST_F(HeldOutputs, StopWhileOutputsWaitKeepsTheCompleteOnesAndSaysWhich) {
    const struct {
        const char* what;
        Step stopAt;
        Events lines;
        std::vector<bool> inPlace;
    } rows[] = {
        {"during the second file's job",
         Step::Open,
         {"a.wav 1", "b.wav 2", "stopped, not written", "interrupted"},
         {true, false, false}},
        {"during the flushes", Step::Flush, {"a.wav 1", "b.wav 2", "c.wav 3", "interrupted"}, {true, true, true}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SetUp();
        int seen = 0;
        const RunOutcome run = RunFiles({PathOf("/in", "a.wav"), PathOf("/in", "b.wav"), PathOf("/in", "c.wav")},
                                        [&](Step step, Events& events) {
                                            if (step == row.stopAt && ++seen == 2) {
                                                events.push_back("stop here");
                                            }
                                        });
        Events lines;
        for (const std::string& event : run.events) {
            if (event != "open" && event != "flush" && event != "move" && event != "stop here") {
                lines.push_back(event);
            }
        }
        EXPECT_EQ(lines, row.lines);
        const char* names[] = {"a.wav", "b.wav", "c.wav"};
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(memoryfs::Get(PathOf("/out", names[i])) != kOld, row.inPlace[i]) << names[i];
        }
        ExpectNoTemporaryFile();
    }
}

// The second file of one output path waits for the first to be put in place: written when the
// first could not be, refused when it was.
TEST_F(HeldOutputs, SecondFileOfAnOutputPathIsWrittenOnlyWhenTheFirstIsNot) {
    const Utf16String inputs[] = {PathOf("/in", "a.wav"), PathOf("/other", "a.wav")};
    for (const bool firstFails : {false, true}) {
        SCOPED_TRACE(firstFails ? "the first fails" : "the first is written");
        SetUp();
        memoryfs::Put(PathOf("/other", "a.wav"), MakeWave(16, {0, 20, 0}));
        int moves = 0;
        const RunOutcome run = RunFiles({inputs[0], inputs[1]}, [&](Step step, Events&) {
            if (step == Step::Move) {
                memoryfs::ArmedFaults().failMove = firstFails && ++moves == 1;
            }
        });
        ASSERT_EQ(run.results.size(), 2u);
        EXPECT_EQ(run.results[0].status, firstFails ? FileResult::Status::Failed : FileResult::Status::Processed);
        EXPECT_EQ(run.results[1].status, firstFails ? FileResult::Status::Processed : FileResult::Status::Failed);
        EXPECT_EQ(run.results[1].reason.kind, firstFails ? FileReason::Kind::None : FileReason::Kind::SameOutputTwice);
        ExpectNoTemporaryFile();
    }
}

// A file that takes long shows its name and progress at once: the outputs before it are put in
// place then, before its job has ended.
TEST_F(HeldOutputs, AFileWhoseProgressIsDueShowsAfterTheOutputsBeforeItArePlaced) {
    const RunOutcome run = RunFiles({PathOf("/in", "a.wav"), PathOf("/in", "b.wav")}, nullptr, Runner::InlineSecondDue);
    EXPECT_EQ(run.events,
              (Events{"a.wav 1", "open", "flush", "move", "b.wav 2", "0 %", "open", "flush", "move", "ended"}));
}

// The outputs before a file whose progress is due go into place on a worker, not on the thread
// that shows the progress.
TEST_F(HeldOutputs, OutputsBeforeAFileWhoseProgressIsDueArePlacedOnAWorker) {
    const RunOutcome run =
        RunFiles({PathOf("/in", "a.wav"), PathOf("/in", "b.wav")}, nullptr, Runner::PlacingDuringNextJob);
    EXPECT_EQ(run.events,
              (Events{"a.wav 1", "0 %", "open", "flush", "move", "b.wav 2", "0 %", "open", "flush", "move", "ended"}));
    EXPECT_EQ(run.groupsPlacedBeside, 1u);
}

// Jobs beside each other may hold their outputs in either order: each output is put in place by its
// own file's turn, and is there when that file's lines end.
TEST_F(HeldOutputs, OutputsHeldOutOfOrderArePlacedInTheOrderOfTheList) {
    const RunOutcome run =
        RunFiles({PathOf("/in", "a.wav"), PathOf("/in", "b.wav"), PathOf("/in", "c.wav")}, nullptr, Runner::Reversing);
    EXPECT_EQ(run.inPlaceWhenEnded, (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(run.anyFileFailed);
    ExpectNoTemporaryFile();
}

// A Stop during a file's job while the next ones' outputs wait beside it: the next files never
// show, their outputs are dropped and the files they would have replaced stay as they were.
TEST_F(HeldOutputs, StopDropsTheOutputOfTheJobBesideTheFileInProgress) {
    int opens = 0;
    const RunOutcome run = RunFiles(
        {PathOf("/in", "a.wav"), PathOf("/in", "b.wav"), PathOf("/in", "c.wav")},
        [&](Step step, Events& events) {
            // The first file's job runs last, once the others beside it have opened their outputs.
            if (step == Step::Open && ++opens == static_cast<int>(FileRun::kJobsAtOnce)) {
                events.push_back("stop here");
            }
        },
        Runner::Reversing);
    Events lines;
    for (const std::string& event : run.events) {
        if (event.find('.') != std::string::npos || event.find("stopped") == 0 || event == "interrupted") {
            lines.push_back(event);
        }
    }
    EXPECT_EQ(lines, (Events{"a.wav 1", "stopped, written", "interrupted"}));
    EXPECT_NE(memoryfs::Get(PathOf("/out", "a.wav")), kOld);
    EXPECT_EQ(memoryfs::Get(PathOf("/out", "b.wav")), kOld);
    EXPECT_EQ(memoryfs::Get(PathOf("/out", "c.wav")), kOld);
    ExpectNoTemporaryFile();
}

// A full group goes into place on a worker while the next file runs, and its files' lines still
// come in order, each after its own output is in place or has failed.
TEST_F(HeldOutputs, AFullGroupIsPlacedWhileTheNextFileRuns) {
    std::vector<Utf16String> inputs;
    Events names;
    for (std::size_t i = 1; i <= FileRun::kHeldOutputs + 2; ++i) {
        const std::string name = "f" + std::to_string(i) + ".wav";
        inputs.push_back(PathOf("/in", name.c_str()));
        memoryfs::Put(inputs.back(), kInput);
        names.push_back(name + " " + std::to_string(i));
    }
    int flushes = 0;
    const RunOutcome run = RunFiles(
        inputs,
        [&](Step step, Events&) {
            if (step == Step::Flush) {
                memoryfs::ArmedFaults().failFlush = ++flushes == 2;
            }
        },
        Runner::PlacingBeside);
    const auto at = [&run](const std::string& event, int nth) {
        auto found = run.events.begin();
        for (int seen = 0; (found = std::find(found, run.events.end(), event)) != run.events.end(); ++found) {
            if (++seen == nth) {
                break;
            }
        }
        return found - run.events.begin();
    };
    EXPECT_LT(at("open", FileRun::kHeldOutputs + 1), at("flush", 1));
    Events lines;
    for (const std::string& event : run.events) {
        if (event != "open" && event != "flush" && event != "move") {
            lines.push_back(event);
        }
    }
    Events expected = names;
    expected.insert(expected.begin() + 2, "failed: could not write the output file");
    expected.push_back("ended");
    EXPECT_EQ(lines, expected);
    std::vector<bool> inPlace(inputs.size(), true);
    inPlace[1] = false;
    EXPECT_EQ(run.inPlaceWhenEnded, inPlace);
    ExpectNoTemporaryFile();
}

// A group placed on a worker while a long file runs lets that file's name and progress show.
TEST_F(HeldOutputs, AFileWhoseProgressIsDueShowsOnceTheGroupOnAWorkerIsPlaced) {
    // The group starts once the jobs beside the file after it have started.
    std::vector<Utf16String> inputs;
    for (std::size_t i = 1; i < FileRun::kHeldOutputs + FileRun::kJobsAtOnce; ++i) {
        inputs.push_back(PathOf("/in", ("f" + std::to_string(i) + ".wav").c_str()));
        memoryfs::Put(inputs.back(), kInput);
    }
    const RunOutcome run = RunFiles(inputs, nullptr, Runner::PlacingDuringNextJob);
    const std::size_t next = FileRun::kHeldOutputs + 1;
    const auto name =
        std::find(run.events.begin(), run.events.end(), "f" + std::to_string(next) + ".wav " + std::to_string(next));
    ASSERT_LT(name + 2, run.events.end());
    EXPECT_EQ(*(name + 1), "0 %");
    EXPECT_EQ(*(name + 2), "open");
}

}  // namespace
