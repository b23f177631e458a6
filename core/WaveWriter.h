// The WAV writer: puts a WaveFile back on disk under the input's name in the output folder.
#pragma once

#include "core/ProcessingSettings.h"
#include "core/WaveFile.h"

// Fills out (kTextCapacity units) with the output folder followed by the input's file name,
// taken from its last separator on; an input without a separator is a bare file name. False
// when the result does not fit.
bool BuildOutputPath(const ProcessingSettings& settings, const Utf16Char* inputPath,
                     Utf16Char* out);

// Writes every chunk in list order, each followed by a pad byte when its size is odd. The target
// is replaced only once the whole file has been written and flushed, so a failure leaves any
// file already there as it was. False when the file could not be completely written; `reason`
// then says why.
bool WriteWaveFile(const ProcessingSettings& settings, const Utf16Char* inputPath,
                   const WaveFile& wave, FileReason& reason);
