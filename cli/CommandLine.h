// What the command line asks for: a run with its settings and files, the help or version text, or
// nothing at all because an argument is wrong.
#pragma once

#include "core/FileReason.h"
#include "core/LevelTarget.h"
#include "core/ProcessingValues.h"
#include "core/Utf16.h"

#include <optional>
#include <string>
#include <vector>

// An argument as the system hands it over: in UTF-16 on Windows, as bytes elsewhere. Bytes that are
// not UTF-8 spell no UTF-16 path: `text` then holds U+FFFD in their place, and `notUtf8` the bytes.
struct Argument {
    Utf16String text;
    std::optional<std::string> notUtf8;
};

// A listed file: its absolute path; or, for a file refused before the run can take it, the path as
// it is shown and why.
struct ListedFile {
    Utf16String path;
    FileReason::Kind refusal = FileReason::Kind::None;
    // As the command line spelt it, in UTF-8, for the report.
    std::string given;
};

// The values a run starts with; an option left out leaves the neutral value of an unticked box.
struct RunSettings {
    Utf16String outputFolder;  // empty: the current directory
    ProcessingValues values;
    // A level for each file to reach, in place of the volume: the gain is found per file.
    LevelTarget target;
    // Measure the files and write nothing.
    bool measure = false;
    Utf16String reportPath;  // absolute; empty: no report
};

struct CommandLine {
    enum class Action { Run, ShowHelp, ShowVersion, Reject };

    Action action = Action::Run;
    std::string error;  // for Reject: what is wrong, in one sentence
    RunSettings settings;
    std::vector<ListedFile> files;  // in the order given
};

// `arguments` excludes the program name. Every argument is checked here, so that a rejected command
// line touches no file; a file name that no path can hold fails alone, in the run.
CommandLine ParseCommandLine(const std::vector<Argument>& arguments);

extern const char kUsageText[];
