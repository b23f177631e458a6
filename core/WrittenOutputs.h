// The output paths written so far in one run, so that no two files of a run write the same one:
// the second would overwrite the first's result, or process an in-place result a second time.
#pragma once

#include "core/ProcessingSettings.h"
#include "core/Utf16.h"

#include <set>

class WrittenOutputs {
public:
    // True when the output path of `inputPath` names a file already written in this run.
    bool AlreadyWritten(const ProcessingSettings& settings, const Utf16Char* inputPath) const;
    void Remember(const ProcessingSettings& settings, const Utf16Char* inputPath);
    // For an output remembered while it waited to be put in place, and then not put there.
    void Forget(const ProcessingSettings& settings, const Utf16Char* inputPath);

    // One spelling per file: made absolute against the current directory, separators unified,
    // "." and ".." resolved by name, and on Windows in upper case, as the file system compares.
    // Empty when the path cannot be built.
    static Utf16String Normalised(const Utf16Char* path);

private:
    static Utf16String NormalisedOutputPath(const ProcessingSettings& settings, const Utf16Char* inputPath);

    std::set<Utf16String> written_;
};
