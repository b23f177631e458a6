// What a run shows of itself: the window's log and the command line's output each implement this
// once, and a new kind of line is added here once. Every call comes from the thread that drives the
// run, never from a worker.
#pragma once

#include "core/FileReason.h"
#include "core/LevelMeasurement.h"
#include "core/FileResult.h"
#include "core/Utf16.h"

#include <cstddef>

class RunObserver {
public:
    virtual ~RunObserver() = default;

    virtual void RunStarted() = 0;
    // `name` is the listed path's file name; `number` counts from 1 up to the list's `count`.
    virtual void FileStarted(const Utf16Char* name, std::size_t number, std::size_t count) = 0;
    // A stop arrived while the file's job ran; `written` says whether its output was put in place.
    virtual void FileStopped(bool written) = 0;
    // The file got no output. The reason is of kind None when the job failed without naming why.
    virtual void FileFailed(const FileReason& reason) = 0;
    // The file was written, and the note says what was left as it was.
    virtual void FileNote(const FileReason& note) = 0;
    // The job measured the file's levels. Only a front end that shows them needs to hear of them.
    virtual void FileMeasured(const Levels& /*levels*/) {}
    // How far the file in progress is written, in whole percent: only for a file that has taken
    // about a second so far, at most a few times a second.
    virtual void FileProgress(unsigned /*percent*/) {}
    // Every listed file ends here, after the lines above, with all that is known of it.
    virtual void FileEnded(const FileResult& /*result*/) {}
    // `folder` is where the results went: the current directory for an empty folder setting.
    virtual void RunEnded(bool interrupted, const Utf16Char* folder) = 0;
};
