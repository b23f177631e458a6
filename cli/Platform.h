// What palvotrix-cli needs of the operating system beyond the core: the console's encoding, whether
// standard error can show a progress line, Ctrl+C and the signals that end a run, and writing to
// the standard streams. One implementation per platform.
#pragma once

#include "core/Utf16.h"

#include <cstdio>
#include <string>

// For as long as it lives, a console shows UTF-8 output (Windows) and standard error is known to
// redraw a line in place, or not.
class ConsoleSession {
public:
    ConsoleSession();
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;

    bool CanShowProgress() const { return canShowProgress_; }

private:
    bool canShowProgress_ = false;
#ifdef _WIN32
    unsigned previousOutputCodePage_ = 0;
    unsigned long previousErrorMode_ = 0;
#endif
};

// From now on Ctrl+C only raises a flag, which the run polls; nothing else reacts to it. Where the
// system has them, SIGTERM and SIGHUP raise a flag of their own, and SIGPIPE is ignored, so that
// a closed standard output ends the log but not the run.
void CatchInterrupts();
bool InterruptRequested();
// The signal that asked the program to end without finishing the file in progress, or 0.
int TerminationSignal();

enum class StandardStream { Output, Error };

// Writes the text to standard output or error. Returns early when the stream is closed or fails,
// and, once a termination signal has come, as soon as the stream has no room: a reader that has
// stopped reading never holds a run that is asked to end.
void WriteStandardStream(StandardStream stream, const std::string& text);
// Creates or empties the file at `path` for writing bytes; null when it cannot.
std::FILE* CreateOutputFile(const Utf16String& path);
