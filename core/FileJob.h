// The per-file job: read the file, change its volume and trim it, write it to the output folder.
#pragma once

#include "core/ProcessingSettings.h"

// Runs the job on one file with the values the settings hold at its start. Its outcome is left in
// settings.errorOccurred and settings.reason.
void ProcessFile(ProcessingSettings& settings, const Utf16Char* inputPath);
