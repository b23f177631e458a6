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
    if (folderTooLong_) {
        Refuse(FileReason::Kind::PathTooLong);
    } else if (written_.AlreadyWritten(settings_, path)) {
        // Its result would replace that one, or process an in-place result a second time.
        Refuse(FileReason::Kind::SameOutputTwice);
    } else {
        RunJob(path, runner);
    }
    ReportOutcome();
    return !settings_.cancelRequested;
}

void FileRun::RefuseFile(const Utf16Char* path, FileReason::Kind why) {
    observer_.FileStarted(FileNameOf(path), ++number_, count_);
    Refuse(why);
    ReportOutcome();
}

bool FileRun::End() {
    const bool interrupted = settings_.cancelRequested;
    ReportEnd(interrupted);
    settings_.cancelRequested = false;
    return interrupted;
}

void FileRun::EndAbandoningFile() {
    observer_.FileStopped(AbandonWriteInProgress(settings_, current_.c_str()));
    ReportEnd(true);
}

// The outcome is read only once the task has ended, on this thread.
void FileRun::RunJob(const Utf16Char* path, TaskRunner& runner) {
    FileTask task(job_, settings_, path);
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

void FileRun::ReportOutcome() {
    if (settings_.errorOccurred) {
        anyFileFailed_ = true;
        observer_.FileFailed(settings_.reason);
        return;
    }
    if (settings_.levels.measured) {
        observer_.FileMeasured(settings_.levels);
    }
    if (settings_.reason.kind != FileReason::Kind::None) {
        observer_.FileNote(settings_.reason);
    }
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
