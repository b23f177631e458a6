// The per-file job: read the file, change its volume and trim it, write it to the output folder.
#pragma once

#include "core/ProcessingSettings.h"
#include "core/WrittenOutputs.h"

// Runs the job on one file with the values the settings hold at its start. Its outcome is left in
// settings.errorOccurred and settings.reason.
void ProcessFile(ProcessingSettings& settings, const Utf16Char* inputPath);

// A file refused before its job could run, e.g. for an output path written earlier in the run:
// the outcome is left where ProcessFile leaves its own, so that it is reported the same way.
void RefuseFile(ProcessingSettings& settings, FileReason::Kind why);

// A run's steps for one listed file, the same in the window and on the command line. A file whose
// output path was written earlier in the run is refused: its result would replace that one.
// Otherwise `startJob` runs the job, and returns false when it could not start it. The output of a
// file that did not fail is remembered.
template <class StartJob>
void RunListedFile(ProcessingSettings& settings, WrittenOutputs& written, const Utf16Char* path, StartJob startJob) {
    if (written.AlreadyWritten(settings, path)) {
        RefuseFile(settings, FileReason::Kind::SameOutputTwice);
        return;
    }
    if (!startJob()) {
        RefuseFile(settings, FileReason::Kind::NoThread);
        return;
    }
    if (!settings.errorOccurred) {
        written.Remember(settings, path);
    }
}
