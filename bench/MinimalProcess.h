// The limit for this design: the least that a program holding the whole file in memory must do.
#pragma once

// One read into a fresh buffer, one pass that applies the gain, a search from each end for the
// first sample louder than the threshold, one block move of the kept frames and one write
// through a flushed temporary file that then replaces `outPath`, the replacement flushed too.
// Knows only the 44-byte header of the benchmark's own files. False on any failure.
bool MinimalProcess(const char* inPath, const char* outPath, float gain, float threshold);
