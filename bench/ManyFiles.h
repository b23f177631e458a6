// The benchmark's many-files case: a thousand files of one second, the size of most batches (voice
// lines, samples, takes), where each file's create, flush and rename weigh more than its samples.
#pragma once

#include "BenchOptions.h"
#include "TargetTable.h"

// The command line against cp of the same files and a sync, with the outputs on the disk and on
// tmpfs (the --outputs folder); and the window's run against the command line's, both i686 under
// Wine. Adds its targets to the table; false when the input files cannot be made.
bool RunManyFiles(const BenchOptions& options, TargetTable& table);
