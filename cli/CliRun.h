// A batch run from the command line: every file through the per-file job on a worker thread, in the
// given order, logged with the window's texts, with Ctrl+C acting as Stop.
#pragma once

#include "cli/CommandLine.h"
#include "cli/CsvReport.h"
#include "cli/RunReport.h"

#include <vector>

// Returns the exit status of the run. `csv` takes a row for each file; none without --report.
int RunBatch(const RunSettings& runSettings, const std::vector<ListedFile>& files, RunReport& report, CsvReport* csv);
