// The WAV writer: puts a WaveFile back on disk under the input's name in the output folder.
#pragma once

#include "core/ProcessingSettings.h"
#include "core/VolumeAndTrim.h"
#include "core/OutputPlacing.h"
#include "core/WaveFile.h"

#include <cstddef>
#include <vector>

// Fills out (kTextCapacity units) with the output folder followed by the input's file name,
// taken from its last separator on; an input without a separator is a bare file name. False
// when the result does not fit.
bool BuildOutputPath(const ProcessingSettings& settings, const Utf16Char* inputPath, Utf16Char* out);

// Writes every chunk in list order, each followed by a pad byte when its size is odd, in the form
// it was read in, then the file's unused space; the chunk `audio` plans, if any, gets its planned
// contents. The file is written
// under a new name of its own in the output folder and replaces the target only once it is
// complete and flushed, with the target's permissions and owner, so a failure or a Stop leaves any
// file already there as it was. The input file is closed before that, and an input that another
// program changed since it was opened is refused then. A read-only target, and an output larger
// than the room left on its file system, are refused before anything is written. False when the
// file was not written; `reason` then says why, and is none after a Stop. The bytes written so far
// go to the settings' progress, and what the scaling saw of the kept samples to `written`, when
// given. A held output's true return means that the complete file waits, open and on its way to
// the disk, for PlaceHeldOutputs, in the place the settings' outputOrder gives it.
bool WriteWaveFile(ProcessingSettings& settings, const Utf16Char* inputPath, WaveFile& wave, FileReason& reason,
                   const AudioPlan* audio = nullptr, SampleTally* written = nullptr, Placing placing = Placing::AtOnce);

// For a process about to end on a signal: removes the temporary files of the write in progress and
// of the held outputs, and keeps every later write in this process from replacing its target (such
// a write waits for good). Called once, on the way out. For each input, whether its output was put
// in place by the latest placing, so that the files not yet reported can be reported as written or
// not.
std::vector<bool> AbandonWritesInProgress(const ProcessingSettings& settings, const std::vector<Utf16String>& inputs);
