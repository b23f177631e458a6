// The per-file jobs: read the file, change its volume and trim it, write it to the output folder; or
// only measure it.
#pragma once

#include "core/ProcessingSettings.h"

// Runs the job on one file with the values the settings hold at its start; with a level target, the
// file's levels are measured first and the gain found for them. Its outcome is left in
// settings.errorOccurred and settings.reason.
void ProcessFile(ProcessingSettings& settings, const Utf16Char* inputPath);

// The same job, whose complete output waits to be put in place with those of other files
// (PlaceHeldOutputs); settings.outputHeld then says so.
void ProcessFileHoldingOutput(ProcessingSettings& settings, const Utf16Char* inputPath);

// Measures the file's levels into settings.levels, the true peak when the target asks for it, and
// writes nothing. Its outcome is left as ProcessFile leaves it.
void MeasureFile(ProcessingSettings& settings, const Utf16Char* inputPath);
