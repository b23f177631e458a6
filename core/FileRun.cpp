// Each listed file's steps, and what the log shows of them.
#include "core/FileRun.h"

#include "core/PathParts.h"
#include "core/WaveWriter.h"

#include <algorithm>

void FileTask::Run() noexcept {
    try {
        job_(settings_, path_);
    } catch (...) {
        settings_.errorOccurred = true;
        settings_.reason = FileReason();
    }
}

void FileTask::PollProgress() {
    run_.PollProgress(ProgressPacer::Clock::now());
}

void PlacingTask::Run() noexcept {
    PlaceHeldOutputs(reasons_);
    ended_ = true;
}

void FileRun::RefuseForLongFolder(const Utf16Char* folderText) {
    folderTooLong_ = true;
    folderText_ = folderText;
}

void FileRun::Start(std::size_t count) {
    // A Stop still queued when the previous run ended must not end this one.
    settings_.cancelRequested = false;
    count_ = count;
    number_ = 0;
    observer_.RunStarted();
}

bool FileRun::RunFile(const Utf16Char* path, TaskRunner& runner) {
    // Outputs put in place meanwhile let their files' lines show, and free their worker for this job.
    if (placing_ && placing_->Ended()) {
        FinishPlacing();
    }
    // A job still running may write this file's output, or fail and leave it free.
    if (runningOutput_.AlreadyWritten(settings_, path)) {
        FinishRunning(runner);
    }
    // Whether this file may be written depends on whether the held output of that path gets in place.
    if (HeldCount() > 0 && written_.AlreadyWritten(settings_, path)) {
        PlaceHeld(runner);
    }
    // A stop that came while this file waited for those before it keeps it from starting.
    if (settings_.cancelRequested) {
        return false;
    }
    FileInRun& file = Next(path);
    if (folderTooLong_) {
        Refuse(file, FileReason::Kind::PathTooLong);
        file.ended = true;
    } else if (written_.AlreadyWritten(settings_, path)) {
        // Its result would replace that one, or process an in-place result a second time.
        Refuse(file, FileReason::Kind::SameOutputTwice);
        file.ended = true;
    } else {
        RunJob(file, runner);
    }
    if (HeldCount() - PlacingCount() >= kHeldOutputs) {
        StartPlacing(runner);
    } else {
        ReportReady();
    }
    return !settings_.cancelRequested;
}

void FileRun::RefuseFile(const Utf16Char* path, FileReason::Kind why) {
    FileInRun& file = Next(path);
    Refuse(file, why);
    file.ended = true;
    ReportReady();
}

bool FileRun::End(TaskRunner& runner) {
    FinishRunning(runner);
    PlaceHeld(runner);
    const bool interrupted = settings_.cancelRequested;
    ReportEnd(interrupted);
    settings_.cancelRequested = false;
    return interrupted;
}

void FileRun::PollProgress(ProgressPacer::Clock::time_point now) {
    if (settings_.cancelRequested) {
        for (JobBeside& beside : besides_) {
            beside.settings.cancelRequested = true;
        }
    }
    if (waited_ == nullptr || !pacer_.Due(now)) {
        return;
    }
    if (placing_ && placing_->Ended()) {
        FinishPlacing();
    }
    // The outputs before it go into place on a worker where one is free, so that this thread never
    // waits for their flushes; they are taken at a later poll.
    if (!waited_->nameShown && !placing_ && HeldCount() > 0) {
        StartPlacing(*waitedRunner_);
    }
    if (waited_->nameShown) {
        observer_.FileProgress(waitedJob_->progress.Percent());
    }
}

// What a job still running or an output still held comes to is known only from what the writer
// put in place: the rest is stopped, not written. Only the audio facts of a finished job are known.
void FileRun::EndAbandoningFile() {
    std::vector<Utf16String> paths;
    for (const FileInRun& file : files_) {
        paths.push_back(file.path);
    }
    const std::vector<bool> placed = AbandonWritesInProgress(settings_, paths);
    bool inProgressSeen = false;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        FileInRun& file = files_[i];
        // A job beside the file in progress had not started as far as the log goes; its temporary
        // file is gone with the others.
        if (!file.ended && inProgressSeen) {
            break;
        }
        inProgressSeen = inProgressSeen || !file.ended;
        if (!file.ended || file.held) {
            file.written = placed[i];
            if (!file.written || !file.ended) {
                file.reason = FileReason();
                file.levels = Levels();
                file.audio.reset();
            }
        }
        // A written file's lines may not reach the log any more: the stop's line says it is in place.
        file.stopped = !file.failed;
        Report(file);
    }
    files_.clear();
    ReportEnd(true);
}

// The next listed file, whose name shows at once unless lines of earlier files wait.
FileRun::FileInRun& FileRun::Next(const Utf16Char* path) {
    files_.emplace_back();
    FileInRun& file = files_.back();
    file.path = path;
    file.number = ++number_;
    ReportReady();
    return file;
}

// The outcome is read only once the task has ended, on this thread. Where no worker is free, the
// oldest job ends first; a job that cannot start beside the others waits for them all. Either way
// held outputs are counted and placed in the order of the list.
void FileRun::RunJob(FileInRun& file, TaskRunner& runner) {
    while (!StartBeside(file, runner) && !running_.empty()) {
        if (FinishOldest(runner)) {
            return;
        }
    }
    if (file.beside != nullptr) {
        running_.push_back(&file);
        while (running_.size() >= kJobsAtOnce) {
            FinishOldest(runner);
        }
        return;
    }
    // No worker may be free while outputs are being placed.
    FinishPlacing();
    settings_.outputOrder = file.number;
    settings_.progress.Begin(0);
    WaitingFor(file, settings_, runner);
    FileTask task(job_, settings_, file.path.c_str(), *this);
    if (!runner.RunToEnd(task)) {
        waited_ = nullptr;
        Refuse(file, FileReason::Kind::NoThread);
        file.ended = true;
        return;
    }
    EndJob(file, settings_);
}

// The job gets the run's settings as they are now, and the run's stop as PollProgress passes it on.
bool FileRun::StartBeside(FileInRun& file, TaskRunner& runner) {
    const auto free = std::find_if(besides_.begin(), besides_.end(), [](const JobBeside& b) { return !b.task; });
    if (free == besides_.end()) {
        return false;
    }
    JobBeside& beside = *free;
    ProcessingSettings& job = beside.settings;
    std::copy(std::begin(settings_.outputFolder), std::end(settings_.outputFolder), std::begin(job.outputFolder));
    job.cancelRequested = settings_.cancelRequested.load();
    job.target = settings_.target;
    job.SetValues(settings_.Values());
    job.outputOrder = file.number;
    job.progress.Begin(0);
    beside.task.emplace(job_, job, file.path.c_str(), *this);
    if (!runner.Start(*beside.task)) {
        beside.task.reset();
        return false;
    }
    file.beside = &beside;
    runningOutput_.Remember(settings_, file.path.c_str());
    return true;
}

void FileRun::FinishRunning(TaskRunner& runner) {
    while (!running_.empty()) {
        FinishOldest(runner);
    }
}

// The oldest job is the file in progress as far as the log goes: a stop that came before it ended
// ends the run before the files after it, which are dropped. True when they were.
bool FileRun::FinishOldest(TaskRunner& runner) {
    FileInRun& file = *running_.front();
    WaitingFor(file, file.beside->settings, runner);
    EndRunning(file, runner);
    running_.pop_front();
    if (!settings_.cancelRequested) {
        return false;
    }
    DropAfter(file, runner);
    return true;
}

// Waits for the file's job and takes its outcome.
void FileRun::EndRunning(FileInRun& file, TaskRunner& runner) {
    JobBeside& beside = *file.beside;
    runner.Finish(*beside.task);
    file.beside = nullptr;
    runningOutput_.Forget(settings_, file.path.c_str());
    EndJob(file, beside.settings);
    beside.task.reset();
}

// From now on its progress is the one shown, after the quiet start.
void FileRun::WaitingFor(const FileInRun& file, const ProcessingSettings& job, TaskRunner& runner) {
    waited_ = &file;
    waitedJob_ = &job;
    waitedRunner_ = &runner;
    pacer_.FileStarted(ProgressPacer::Clock::now());
}

void FileRun::EndJob(FileInRun& file, const ProcessingSettings& job) {
    waited_ = nullptr;
    waitedJob_ = nullptr;
    waitedRunner_ = nullptr;
    file.ended = true;
    file.failed = job.errorOccurred;
    file.reason = job.reason;
    file.levels = job.levels;
    file.held = !file.failed && job.outputHeld;
    file.written = !file.failed && job.outputWritten;
    // Only a job that ran leaves audio facts, so they are taken for a written file alone.
    if (file.held || file.written) {
        file.audio = job.audio;
    }
    // After a stop during the job, whether the file made it is not clear from the log alone.
    file.stopped = settings_.cancelRequested && !file.failed;
    if (!file.failed) {
        written_.Remember(settings_, file.path.c_str());
    }
}

// The files after the one in progress, which the log never showed: what their jobs held is undone,
// as the jobs beside it were told to stop. An output that a job put in place at once cannot be
// undone, so its file and those before it stay, to be shown as they ended.
void FileRun::DropAfter(const FileInRun& inProgress, TaskRunner& runner) {
    while (!running_.empty()) {
        EndRunning(*running_.back(), runner);
        running_.pop_back();
    }
    while (&files_.back() != &inProgress && !files_.back().written) {
        const FileInRun& file = files_.back();
        if (file.held) {
            DropHeldOutput(file.number);
        }
        if (!file.failed) {
            written_.Forget(settings_, file.path.c_str());
        }
        files_.pop_back();
        --number_;
    }
}

// A refusal leaves its outcome where the job leaves its own, so that it is reported the same way.
void FileRun::Refuse(FileInRun& file, FileReason::Kind why) {
    file.reason = FileReason(why);
    file.failed = true;
    file.written = false;
}

std::size_t FileRun::HeldCount() const {
    return static_cast<std::size_t>(
        std::count_if(files_.begin(), files_.end(), [](const FileInRun& file) { return file.held; }));
}

std::size_t FileRun::PlacingCount() const {
    return placing_ ? placing_->Reasons().size() : 0;
}

// The group goes into place while the next files run, where the runner has a worker free for it.
void FileRun::StartPlacing(TaskRunner& runner) {
    FinishPlacing();
    placing_.emplace(HeldCount());
    if (runner.Start(*placing_)) {
        placingRunner_ = &runner;
        ReportReady();
        return;
    }
    placing_.reset();
    PlaceHeld(runner);
}

// Waits for the group being placed, if any, and takes what became of its outputs.
void FileRun::FinishPlacing() {
    if (!placing_) {
        return;
    }
    placingRunner_->Finish(*placing_);
    TakePlacing(placing_->Reasons());
    placing_.reset();
    placingRunner_ = nullptr;
    ReportReady();
}

// A worker that cannot be started leaves the placing to this thread: the outputs are complete, and
// dropping them would lose finished work.
void FileRun::PlaceHeld(TaskRunner& runner) {
    FinishPlacing();
    const std::size_t held = HeldCount();
    if (held > 0) {
        PlacingTask task(held);
        if (!runner.RunToEnd(task)) {
            task.Run();
        }
        TakePlacing(task.Reasons());
    }
    ReportReady();
}

// The reasons come in the order the files ran, one for each of the first held outputs.
void FileRun::TakePlacing(const std::vector<FileReason>& reasons) {
    auto reason = reasons.begin();
    for (FileInRun& file : files_) {
        if (!file.held || reason == reasons.end()) {
            continue;
        }
        file.held = false;
        if (reason->kind == FileReason::Kind::None) {
            file.written = true;
        } else {
            // A failed file's line says why, not that a stop came.
            file.failed = true;
            file.stopped = false;
            file.reason = *reason;
            file.audio.reset();
            written_.Forget(settings_, file.path.c_str());
        }
        ++reason;
    }
}

// Shows the lines of the files at the front whose outcome is final, and the name of the first one
// whose outcome is not.
void FileRun::ReportReady() {
    while (!files_.empty()) {
        FileInRun& file = files_.front();
        if (!file.nameShown) {
            file.nameShown = true;
            observer_.FileStarted(FileNameOf(file.path.c_str()), file.number, count_);
        }
        if (!file.ended || file.held) {
            return;
        }
        Report(file);
        files_.pop_front();
    }
}

// A file whose name the observer showed already does not get it again.
void FileRun::Report(const FileInRun& file) {
    if (!file.nameShown) {
        observer_.FileStarted(FileNameOf(file.path.c_str()), file.number, count_);
    }
    if (file.stopped) {
        observer_.FileStopped(file.written);
    }
    if (file.failed) {
        anyFileFailed_ = true;
        observer_.FileFailed(file.reason);
    } else {
        if (file.levels.measured) {
            observer_.FileMeasured(file.levels);
        }
        if (file.reason.kind != FileReason::Kind::None) {
            observer_.FileNote(file.reason);
        }
    }
    observer_.FileEnded(ResultOf(file));
}

// A file that neither failed nor was written was stopped.
FileResult FileRun::ResultOf(const FileInRun& file) const {
    using Status = FileResult::Status;
    FileResult result;
    result.reason = file.reason;
    if (file.failed) {
        result.status = Status::Failed;
        return result;
    }
    if (!file.written) {
        result.status = Status::Stopped;
        return result;
    }
    Utf16Char output[kTextCapacity] = {};
    if (BuildOutputPath(settings_, file.path.c_str(), output)) {
        result.output = output;
    }
    if (file.reason.IsNote()) {
        result.status = Status::Unchanged;
    } else {
        result.status = Status::Processed;
        result.audio = file.audio;
    }
    return result;
}

void FileRun::ReportEnd(bool interrupted) {
    if (folderTooLong_) {
        observer_.RunEnded(interrupted, folderText_.c_str());
        return;
    }
    Utf16Char folder[kTextCapacity] = {};
    // A current directory too long for the buffer leaves the folder blank.
    GetOutputFolder(settings_, folder);
    observer_.RunEnded(interrupted, folder);
}
