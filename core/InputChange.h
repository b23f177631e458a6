// Whether another program changed a job's input while the job read it. The output would then be
// made of old bytes and new ones, or of zeros where bytes were gone: it must not be kept.
#pragma once

#include "core/FileReason.h"
#include "core/WaveFile.h"

// `outcome`, the job's result so far (none for an output about to be put in place), unless the
// input changed since it was opened: its size or times differ from those noted then, or a view of
// it met bytes that were gone. That explains a failed read or write and a file found damaged too,
// and replaces their reason; other refusals keep theirs. Asked while the input is still open.
FileReason ExplainedByInput(const WaveFile& wave, const FileReason& outcome);
