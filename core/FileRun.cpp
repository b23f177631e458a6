// Each listed file's steps, and what the log shows of them.
#include "core/FileRun.h"

#include "core/PathParts.h"
#include "core/WaveWriter.h"

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
    current_ = path;
    observer_.FileStarted(FileNameOf(path), ++number_, count_);
    settings_.progress.Begin(0);
    pacer_.FileStarted(ProgressPacer::Clock::now());
    if (folderTooLong_) {
        Refuse(FileReason::Kind::PathTooLong);
    } else if (written_.AlreadyWritten(settings_, path)) {
        // Its result would replace that one, or process an in-place result a second time.
        Refuse(FileReason::Kind::SameOutputTwice);
    } else {
        RunJob(path, runner);
    }
    ReportOutcome(path);
    return !settings_.cancelRequested;
}

void FileRun::RefuseFile(const Utf16Char* path, FileReason::Kind why) {
    observer_.FileStarted(FileNameOf(path), ++number_, count_);
    Refuse(why);
    ReportOutcome(path);
}

bool FileRun::End() {
    const bool interrupted = settings_.cancelRequested;
    ReportEnd(interrupted);
    settings_.cancelRequested = false;
    return interrupted;
}

void FileRun::PollProgress(ProgressPacer::Clock::time_point now) {
    if (pacer_.Due(now)) {
        observer_.FileProgress(settings_.progress.Percent());
    }
}

void FileRun::EndAbandoningFile() {
    const bool written = AbandonWriteInProgress(settings_, current_.c_str());
    observer_.FileStopped(written);
    // What the job measured is not known: its worker still runs.
    FileResult abandoned;
    abandoned.status = written ? FileResult::Status::Processed : FileResult::Status::Stopped;
    Utf16Char output[kTextCapacity] = {};
    if (written && BuildOutputPath(settings_, current_.c_str(), output)) {
        abandoned.output = output;
    }
    observer_.FileEnded(abandoned);
    ReportEnd(true);
}

// The outcome is read only once the task has ended, on this thread.
void FileRun::RunJob(const Utf16Char* path, TaskRunner& runner) {
    FileTask task(job_, settings_, path, *this);
    if (!runner.RunToEnd(task)) {
        Refuse(FileReason::Kind::NoThread);
        return;
    }
    // After a stop during the job, whether the file made it is not clear from the log alone.
    if (settings_.cancelRequested && !settings_.errorOccurred) {
        observer_.FileStopped(settings_.outputWritten);
    }
    if (!settings_.errorOccurred) {
        written_.Remember(settings_, path);
    }
}

// A refusal leaves its outcome where the job leaves its own, so that it is reported the same way.
void FileRun::Refuse(FileReason::Kind why) {
    settings_.reason = FileReason(why);
    settings_.errorOccurred = true;
    settings_.outputWritten = false;
}

void FileRun::ReportOutcome(const Utf16Char* path) {
    if (settings_.errorOccurred) {
        anyFileFailed_ = true;
        observer_.FileFailed(settings_.reason);
    } else {
        if (settings_.levels.measured) {
            observer_.FileMeasured(settings_.levels);
        }
        if (settings_.reason.kind != FileReason::Kind::None) {
            observer_.FileNote(settings_.reason);
        }
    }
    observer_.FileEnded(ResultOf(path));
}

// A job that neither failed nor wrote its output was stopped. Only a job that ran leaves audio
// facts, so they are taken for a processed file alone.
FileResult FileRun::ResultOf(const Utf16Char* path) const {
    using Status = FileResult::Status;
    FileResult result;
    result.reason = settings_.reason;
    if (settings_.errorOccurred) {
        result.status = Status::Failed;
        return result;
    }
    if (!settings_.outputWritten) {
        result.status = Status::Stopped;
        return result;
    }
    Utf16Char output[kTextCapacity] = {};
    if (BuildOutputPath(settings_, path, output)) {
        result.output = output;
    }
    if (settings_.reason.IsNote()) {
        result.status = Status::Unchanged;
    } else {
        result.status = Status::Processed;
        result.audio = settings_.audio;
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
