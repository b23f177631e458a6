// What the command line asks for: a run with its settings and files, the help or version text, or
// nothing at all because an argument is wrong.
#pragma once

#include "core/ProcessingValues.h"
#include "core/Utf16.h"

#include <string>
#include <vector>

// The values a run starts with; an option left out leaves the neutral value of an unticked box.
struct RunSettings {
    Utf16String outputFolder;  // empty: the current directory
    ProcessingValues values;
};

struct CommandLine {
    enum class Action { Run, ShowHelp, ShowVersion, Reject };

    Action action = Action::Run;
    std::string error;  // for Reject: what is wrong, in one sentence
    RunSettings settings;
    std::vector<Utf16String> files;  // absolute, in the order given
};

// `arguments` excludes the program name. Every argument is checked here, so that a rejected command
// line touches no file.
CommandLine ParseCommandLine(const std::vector<Utf16String>& arguments);

extern const char kUsageText[];
